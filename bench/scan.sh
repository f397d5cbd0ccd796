#!/usr/bin/env bash
# Scan mode over 1 GiB of random bytes holding a few modules, side by side in one hyperfine run with
# grep -c -a -F -f SIGNATURES over the same file (finding the signatures by hand) and with
# cat FILE > /dev/null (reading the bytes at all); then the scan's peak memory.
#
#   bench/scan.sh
#
# The scan is run as "$SCAN_COMMAND FILE". By default that is build-bench/scan_bench, a small program
# that runs the engine's ModuleScanner and prints the count, then one line per module; set
# SCAN_COMMAND (and adapt check_scan below) to measure another front end, e.g. zendrow-cli's
# scan mode. The corpus is made once in bench/corpus/scan/; results go to bench/out/.
# Environment: BENCH_RUNS (default 10), BENCH_WARMUP (2), SCAN_MIB (1024).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench="$root/bench"
corpus="$bench/corpus/scan"
out="$bench/out"
runs=${BENCH_RUNS:-10}
warmup=${BENCH_WARMUP:-2}
mib=${SCAN_MIB:-1024}
signatures="$bench/scan_signatures.txt"

# Targets (issue 9, section 4).
max_ratio=1.0
max_rss_kib=$((32 * 1024))

say() { printf '\n== %s\n' "$*"; }

# --- What the benchmark needs, from Debian -------------------------------------------------------
"$root/scripts/setup.sh" hyperfine time grep coreutils python3 cmake g++ make libcli11-dev

# --- The programs: the engine in Release, the scan and corpus programs over it -------------------
say "Release build into build-bench/"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release \
    -DZENDROW_BUILD_UI=OFF -DZENDROW_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target engine
cxx=(g++ -O2 -std=c++20 -Wall -Wextra -I"$root")
"${cxx[@]}" "$bench/scan_bench.cpp" "$root/build-bench/engine/libengine.a" -o "$root/build-bench/scan_bench"
"${cxx[@]}" "$bench/scan_corpus.cpp" "$root/tests/support/module_builder.cpp" -o "$root/build-bench/scan_corpus"
scan_command=${SCAN_COMMAND:-"$root/build-bench/scan_bench"}

# --- Corpus --------------------------------------------------------------------------------------
file="$corpus/scan-$mib.bin"
expected="$corpus/scan-$mib.expected"
if [ ! -f "$file" ] || [ ! -f "$expected" ] || [ "$(stat -c %s "$file")" -ne $((mib * 1024 * 1024)) ]; then
    say "Making $file ($mib MiB of random bytes with a few modules)"
    mkdir -p "$corpus"
    "$root/build-bench/scan_corpus" "$file" "$mib" >"$expected.tmp"
    mv "$expected.tmp" "$expected"
fi
echo "corpus: $file, $(wc -l <"$expected") modules"

# --- The output is right (a fast but wrong scan would measure nothing) ---------------------------
# scan_bench prints the count, then "KIND @OFFSET LENGTH missing N "TITLE"" per module.
check_scan() {
    local listing=$1
    python3 - "$listing" "$expected" <<'PY'
import sys
lines = open(sys.argv[1]).read().splitlines()
want = [l.split(" ", 3) for l in open(sys.argv[2]).read().splitlines()]
got = lines[1:]
wanted = ['%s @%s %s missing 0 %s' % (k, o, n, t) for k, o, n, t in want]
if lines[0] != str(len(want)) or got != wanted:
    sys.exit("scan.sh: the scan found something else:\n" + "\n".join(lines) + "\nwanted:\n" + "\n".join(wanted))
PY
}
say "Checking one scan of the corpus"
mkdir -p "$out"
$scan_command "$file" >"$out/scan-check.txt"
check_scan "$out/scan-check.txt"
echo "ok: every module found, at its offset, with its exact length and title"

# --- Scan against grep and cat, one hyperfine run ------------------------------------------------
say "Scan, grep and cat over $mib MiB ($warmup warmup, $runs runs each)"
q() { printf '%q' "$1"; }
# Outputs go to files: GNU grep stops at its first match when its output is /dev/null (where
# hyperfine sends it), which would time a different job.
hyperfine --style basic --warmup "$warmup" --runs "$runs" \
    --export-json "$out/scan.json" --export-markdown "$out/scan.md" \
    --command-name scan "$scan_command $(q "$file") > $(q "$out/scan-output.txt")" \
    --command-name grep "grep -c -a -F -f $(q "$signatures") $(q "$file") > $(q "$out/grep-output.txt")" \
    --command-name cat "cat $(q "$file") > /dev/null"

read -r s_mean s_sd g_mean g_sd c_mean c_sd ratio ratio_cat < <(python3 - "$out/scan.json" <<'EOF2'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
s, g, c = r["scan"], r["grep"], r["cat"]
print("%.4f %.4f %.4f %.4f %.4f %.4f %.3f %.3f" % (s["mean"], s["stddev"], g["mean"], g["stddev"], c["mean"],
      c["stddev"], s["mean"] / g["mean"], s["mean"] / c["mean"]))
EOF2
)
echo "ratio scan/grep: $ratio (scan/cat: $ratio_cat)"

check_scan "$out/scan-output.txt"
echo "grep counted $(cat "$out/grep-output.txt") lines with a signature"

# --- Peak memory ---------------------------------------------------------------------------------
say "Peak memory of the scan (/usr/bin/time -v, largest of 3 runs)"
rss=0
for i in 1 2 3; do
    /usr/bin/time -v -o "$out/time.txt" $scan_command "$file" >/dev/null
    r=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$out/time.txt")
    [ "$r" -gt "$rss" ] && rss=$r
done
rm -f "$out/time.txt"

# --- Summary -------------------------------------------------------------------------------------
verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "MISSED"; fi; }
ratio_ok=$(python3 -c "print(int($ratio <= $max_ratio))")
rss_ok=$((rss < max_rss_kib ? 1 : 0))
summary=$(cat <<EOF3
Zendrow scan benchmark, $(date -u +%Y-%m-%dT%H:%MZ), $(nproc) cores, $(uname -r)
$mib MiB of random bytes with $(wc -l <"$expected") modules, $runs runs each:
  scan  mean ${s_mean} s ± ${s_sd} s   ($scan_command)
  grep  mean ${g_mean} s ± ${g_sd} s   (grep -c -a -F -f scan_signatures.txt, $(grep --version | head -1))
  cat   mean ${c_mean} s ± ${c_sd} s
  ratio scan/grep: ${ratio} (target <= ${max_ratio}: $(verdict "$ratio_ok")); scan/cat: ${ratio_cat}
Peak memory (max RSS) of the scan: ${rss} KiB ($(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') MiB), target < 32 MiB: $(verdict "$rss_ok")
EOF3
)
say "Summary"
echo "$summary"
echo "$summary" >"$out/scan-summary.txt"
echo
echo "Results: bench/out/scan.md, bench/out/scan.json, bench/out/scan-summary.txt"
