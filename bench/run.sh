#!/usr/bin/env bash
# Measures zendrow-cli against cp copying the same bytes, and its peak memory on a 512 MiB container.
#
#   bench/run.sh [PATH-TO-ZENDROW-CLI]
#
# Without a path, builds a Release zendrow-cli into build-bench/. The corpus is made once in
# bench/corpus/; results go to bench/out/. Environment: BENCH_RUNS (default 20), BENCH_WARMUP (3).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench="$root/bench"
corpus="$bench/corpus"
out="$bench/out"
runs=${BENCH_RUNS:-20}
warmup=${BENCH_WARMUP:-3}

# Targets (issue 2, section 6).
max_ratio=1.15
max_rss_kib=$((32 * 1024))

say() { printf '\n== %s\n' "$*"; }

# --- What the benchmark needs, from Debian -------------------------------------------------------
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

needed=(hyperfine time python3 coreutils)
[ $# -ge 1 ] || needed+=(cmake g++ make libcli11-dev)
install_missing "${needed[@]}"

# --- The program under test ----------------------------------------------------------------------
if [ $# -ge 1 ]; then
    cli=$(realpath "$1")
else
    say "Release build into build-bench/"
    cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release \
        -DZENDROW_BUILD_UI=OFF -DZENDROW_BUILD_TESTS=OFF >/dev/null
    cmake --build "$root/build-bench" -j2
    cli="$root/build-bench/app/zendrow-cli"
fi
[ -x "$cli" ] || { echo "run.sh: no zendrow-cli at $cli" >&2; exit 2; }
echo "zendrow-cli: $cli ($("$cli" --version 2>/dev/null | head -1))"

# --- Corpus --------------------------------------------------------------------------------------
if [ ! -f "$corpus/manifest.tsv" ]; then
    say "Making the corpus in bench/corpus/ (about 1.6 GiB)"
    python3 "$bench/make_corpus.py" "$corpus"
fi
batch_files=$(find "$corpus/batch" -name '*.vnr' | wc -l)
batch_bytes=$(du -sb "$corpus/batch" | cut -f1)
echo "corpus: $batch_files containers, $((batch_bytes / 1024 / 1024)) MiB in batch/; big/big.vnr $(($(stat -c %s "$corpus/big/big.vnr") / 1024 / 1024)) MiB"

# --- Output folders, removed again at the end ----------------------------------------------------
mkdir -p "$out"
dest_z="$out/dest-zendrow"
dest_c="$out/dest-cp"
cleanup() { rm -rf "$dest_z" "$dest_c"; }
trap cleanup EXIT
empty_dests() { rm -rf "$dest_z" "$dest_c" && mkdir "$dest_z" "$dest_c"; }

# --- The output is right (a fast but wrong run would measure nothing) ----------------------------
say "Checking one zendrow-cli run of the batch"
empty_dests
"$cli" --quiet --dest "$dest_z" "$corpus/batch" >"$out/check-run.txt"
python3 "$bench/make_corpus.py" check "$corpus" "$dest_z"
echo "ok: $(ls "$dest_z" | wc -l) modules, names, sizes and a sample of bytes as expected"

# --- Batch: zendrow-cli against cp, one hyperfine run --------------------------------------------
say "Batch of $batch_files containers: zendrow-cli against cp ($warmup warmup, $runs runs each)"
q() { printf '%q' "$1"; }
# Both folders are emptied before every run, and sync keeps the previous run's writeback out of it.
prepare="rm -rf $(q "$dest_z") $(q "$dest_c") && mkdir $(q "$dest_z") $(q "$dest_c") && sync"
hyperfine --style basic --warmup "$warmup" --runs "$runs" \
    --prepare "$prepare" \
    --export-json "$out/batch.json" --export-markdown "$out/batch.md" \
    --command-name zendrow-cli "$(q "$cli") --quiet --dest $(q "$dest_z") $(q "$corpus/batch")" \
    --command-name cp "cp $(q "$corpus/batch")/*.vnr $(q "$dest_c")/"

read -r z_mean z_sd z_med c_mean c_sd c_med ratio ratio_med < <(python3 - "$out/batch.json" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
z, c = results["zendrow-cli"], results["cp"]
print("%.4f %.4f %.4f %.4f %.4f %.4f %.3f %.3f" % (z["mean"], z["stddev"], z["median"], c["mean"], c["stddev"],
      c["median"], z["mean"] / c["mean"], z["median"] / c["median"]))
EOF
)
echo "ratio zendrow/cp: mean $ratio, median $ratio_med"

# --- Peak memory on the 512 MiB container --------------------------------------------------------
say "Peak memory on the 512 MiB container (/usr/bin/time -v, largest of 3 runs)"
# Prints "max-RSS-KiB elapsed" for the largest RSS over 3 runs of the command, each into emptied folders.
measure() {
    local best=0 elapsed="" i log="$out/time.txt"
    for i in 1 2 3; do
        empty_dests
        sync
        /usr/bin/time -v -o "$log" "$@" >/dev/null
        local rss
        rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
        if [ "$rss" -gt "$best" ]; then
            best=$rss
            elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")
        fi
    done
    rm -f "$log"
    echo "$best $elapsed"
}
read -r z_rss z_wall < <(measure "$cli" --quiet --dest "$dest_z" "$corpus/big/big.vnr")
[ "$(stat -c %s "$dest_z/Big Song.it")" -eq $((512 * 1024 * 1024 - 100)) ] ||
    { echo "run.sh: zendrow-cli did not write the whole module of big.vnr" >&2; exit 1; }
read -r c_rss c_wall < <(measure cp "$corpus/big/big.vnr" "$dest_c/")
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
printf '%-12s max RSS %7d KiB (%s MiB), wall %s\n' zendrow-cli "$z_rss" "$(mib "$z_rss")" "$z_wall"
printf '%-12s max RSS %7d KiB (%s MiB), wall %s\n' cp "$c_rss" "$(mib "$c_rss")" "$c_wall"

# --- Summary -------------------------------------------------------------------------------------
verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "MISSED"; fi; }
ratio_ok=$(python3 -c "print(int($ratio <= $max_ratio))")
rss_ok=$((z_rss < max_rss_kib ? 1 : 0))
summary=$(cat <<EOF
Zendrow benchmark, $(date -u +%Y-%m-%dT%H:%MZ), $(nproc) cores, $(uname -r)
Batch, $batch_files containers ($((batch_bytes / 1024 / 1024)) MiB), $runs runs each:
  zendrow-cli  mean ${z_mean} s ± ${z_sd} s, median ${z_med} s
  cp           mean ${c_mean} s ± ${c_sd} s, median ${c_med} s
  ratio zendrow/cp: mean ${ratio} (target <= ${max_ratio}: $(verdict "$ratio_ok")), median ${ratio_med}
Peak memory (max RSS), 512 MiB container:
  zendrow-cli  ${z_rss} KiB ($(mib "$z_rss") MiB)
  cp           ${c_rss} KiB ($(mib "$c_rss") MiB)
  target zendrow-cli < ${max_rss_kib} KiB (32 MiB): $(verdict "$rss_ok")
EOF
)
say "Summary"
echo "$summary"
echo "$summary" >"$out/summary.txt"
echo
echo "Results: bench/out/batch.md, bench/out/batch.json, bench/out/summary.txt"
