#!/usr/bin/env bash
# The window over a folder of 100,000 containers: its start-up against an empty folder, side by side
# in one hyperfine run, and Select all with the refresh that follows.
#
#   bench/window.sh
#
# Builds a Release window_bench into build-bench/, makes bench/corpus/window/ once, and runs under
# Xvfb (a real X server, as a desktop has) when xvfb-run is there, else on Qt's offscreen platform.
# Results go to bench/out/window.md, window.json and window.txt. Environment: BENCH_RUNS (default
# 20), BENCH_WARMUP (3).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
corpus="$root/bench/corpus/window"
out="$root/bench/out"
runs=${BENCH_RUNS:-20}
warmup=${BENCH_WARMUP:-3}
files=100000

# Targets (issue 10, section 5).
max_startup_ratio=1.5
max_select_share=0.2

"$root/scripts/setup.sh"
"$root/scripts/setup.sh" hyperfine xvfb xauth python3

cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DZENDROW_BUILD_UI=ON \
    -DZENDROW_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target window_bench
bench="$root/build-bench/bench/window_bench"

if [ ! -d "$corpus/full" ] || [ "$(find "$corpus/full" -name '*.vnr' | wc -l)" -ne $files ]; then
    echo "Making $files containers in bench/corpus/window/full"
    rm -rf "$corpus"
    mkdir -p "$corpus/empty" "$corpus/full"
    python3 - "$corpus/full" $files <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
body = b"\x7f" * 16 + b"IMPM" + b"Song".ljust(26, b"\0") + b"it-body"
for i in range(count):
    with open(os.path.join(folder, "level%06d.vnr" % i), "wb") as f:
        f.write(body)
PY
fi
mkdir -p "$out"

run() {
    if command -v xvfb-run >/dev/null; then
        xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
    else
        QT_QPA_PLATFORM=offscreen "$@"
    fi
}

q() { printf '%q' "$1"; }
run hyperfine --style basic --warmup "$warmup" --runs "$runs" \
    --export-json "$out/window.json" --export-markdown "$out/window.md" \
    --command-name "empty folder" "$(q "$bench") start $(q "$corpus/empty")" \
    --command-name "$files files" "$(q "$bench") start $(q "$corpus/full")" \
    2>&1 | grep -v XDG_RUNTIME_DIR
run "$bench" select-all "$corpus/full" "$runs" 2>/dev/null >"$out/select-all.txt"

python3 - "$out" "$files" "$max_startup_ratio" "$max_select_share" <<'PY' | tee "$out/window.txt"
import json, statistics, sys
out, files, max_ratio, max_share = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
results = {r["command"]: r for r in json.load(open(out + "/window.json"))["results"]}
empty, full = results["empty folder"], results[files + " files"]
select = [float(line) for line in open(out + "/select-all.txt") if line.strip()]
ratio = full["mean"] / empty["mean"]
share = statistics.median(select) / 1000 / full["mean"]
verdict = lambda ok: "met" if ok else "MISSED"
print("Start-up until the list has painted, mean of %d runs:" % len(full["times"]))
print("  empty folder   %.3f s ± %.3f s (median %.3f s)" % (empty["mean"], empty["stddev"], empty["median"]))
print("  %s files  %.3f s ± %.3f s (median %.3f s)" % (files, full["mean"], full["stddev"], full["median"]))
print("  ratio %.2f (target <= %.1f: %s), median ratio %.2f" % (ratio, max_ratio, verdict(ratio <= max_ratio),
                                                              full["median"] / empty["median"]))
print("Select all over %s files until painted: median %.1f ms, max %.1f ms of %d presses" %
      (files, statistics.median(select), max(select), len(select)))
print("  share of the start-up %.2f (target <= %.1f: %s)" % (share, max_share, verdict(share <= max_share)))
PY
