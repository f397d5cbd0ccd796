#!/usr/bin/env bash
# Scan mode over 1 GiB of random bytes holding a few modules, side by side in one hyperfine run with
# grep -c -a -F -f SIGNATURES over the same file (finding the signatures by hand) and with
# cat FILE > /dev/null (reading the bytes at all); then the scan's peak memory.
#
#   bench/scan.sh
#
# The scan measured is the real front end: zendrow-cli --scan --list --json --dest EMPTY FILE, which
# finds and names every module and writes nothing (the destination is checked to stay empty). A
# second row, build-bench/scan_bench, runs the engine's ModuleScanner alone, so that the front end's
# own share shows. The corpus is made once in bench/corpus/scan/; results go to bench/out/.
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
"$root/scripts/setup.sh" hyperfine time grep coreutils python3 cmake g++ make libcli11-dev nlohmann-json3-dev

# --- The programs: zendrow-cli in Release, the scanner and corpus programs over the engine --------
say "Release build into build-bench/"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release \
    -DZENDROW_BUILD_UI=OFF -DZENDROW_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target zendrow-cli
cxx=(g++ -O2 -std=c++20 -Wall -Wextra -I"$root")
"${cxx[@]}" "$bench/scan_bench.cpp" "$root/build-bench/engine/libengine.a" -o "$root/build-bench/scan_bench"
"${cxx[@]}" "$bench/scan_corpus.cpp" "$root/tests/support/module_builder.cpp" -o "$root/build-bench/scan_corpus"
cli="$root/build-bench/app/zendrow-cli"
scanner="$root/build-bench/scan_bench"

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
mkdir -p "$out"
# The listing's destination: it must exist, and must still be empty after every listing.
dest="$out/dest-scan"
rm -rf "$dest"
mkdir "$dest"
trap 'rm -rf "$dest"' EXIT
check_dest_empty() {
    [ -z "$(ls -A "$dest")" ] || { echo "scan.sh: the listing wrote into $dest:" >&2; ls -A "$dest" >&2; exit 1; }
}
# zendrow-cli's JSON Lines: one "found" object per module (kind, offset, length, title, the name it
# would get in the destination, nothing missing), then the totals.
check_cli() {
    python3 - "$1" "$expected" "$dest" <<'PY'
import json, os, sys
listing, expected, dest = sys.argv[1:]
want = [l.split(" ", 3) for l in open(expected).read().splitlines()]
wanted = [{"kind": k, "offset": int(o), "length": int(n), "title": json.loads(t), "status": "found",
           "output": os.path.join(dest, json.loads(t) + "." + k)} for k, o, n, t in want]
totals = {"totals": {"converted": 0, "found": len(want), "skipped": 0, "failed": 0, "truncated": 0}}
lines = open(listing).read().splitlines()
try:
    objects = [json.loads(l) for l in lines]
except ValueError as e:
    sys.exit("scan.sh: zendrow-cli printed a line that is not JSON (%s):\n%s" % (e, "\n".join(lines)))
keys = ("kind", "offset", "length", "title", "status", "output")
got = [{k: o.get(k) for k in keys} for o in objects[:-1]]
unexpected = [o for o in objects[:-1] if set(o) - set(keys) - {"source"}]  # "missing", "reason"
if got != wanted or unexpected or objects[-1:] != [totals]:
    sys.exit("scan.sh: zendrow-cli found something else:\n" + "\n".join(lines) + "\nwanted:\n" +
             "\n".join(json.dumps(w) for w in wanted + [totals]))
PY
}
# scan_bench prints the count, then "KIND @OFFSET LENGTH missing N "TITLE"" per module.
check_scanner() {
    python3 - "$1" "$expected" <<'PY'
import sys
lines = open(sys.argv[1]).read().splitlines()
want = [l.split(" ", 3) for l in open(sys.argv[2]).read().splitlines()]
got = lines[1:]
wanted = ['%s @%s %s missing 0 %s' % (k, o, n, t) for k, o, n, t in want]
if lines[0] != str(len(want)) or got != wanted:
    sys.exit("scan.sh: the scanner found something else:\n" + "\n".join(lines) + "\nwanted:\n" + "\n".join(wanted))
PY
}
say "Checking one scan of the corpus"
"$cli" --scan --list --json --dest "$dest" "$file" >"$out/scan-check.txt"
check_cli "$out/scan-check.txt"
check_dest_empty
"$scanner" "$file" >"$out/scanner-check.txt"
check_scanner "$out/scanner-check.txt"
echo "ok: every module found, at its offset, with its exact length, title and name; nothing written"

# --- Scan against grep and cat, one hyperfine run ------------------------------------------------
say "Scan, grep and cat over $mib MiB ($warmup warmup, $runs runs each)"
# The machine may be shared with other work: the load goes with the figures.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
q() { printf '%q' "$1"; }
# Outputs go to files: GNU grep stops at its first match when its output is /dev/null (where
# hyperfine sends it), which would time a different job.
hyperfine --style basic --warmup "$warmup" --runs "$runs" \
    --export-json "$out/scan.json" --export-markdown "$out/scan.md" \
    --command-name scan "$(q "$cli") --scan --list --json --dest $(q "$dest") $(q "$file") > $(q "$out/scan-output.txt")" \
    --command-name scanner "$(q "$scanner") $(q "$file") > $(q "$out/scanner-output.txt")" \
    --command-name grep "grep -c -a -F -f $(q "$signatures") $(q "$file") > $(q "$out/grep-output.txt")" \
    --command-name cat "cat $(q "$file") > /dev/null"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

read -r s_mean s_sd e_mean e_sd g_mean g_sd c_mean c_sd ratio ratio_cat ratio_scanner < <(python3 - "$out/scan.json" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
s, e, g, c = r["scan"], r["scanner"], r["grep"], r["cat"]
print("%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.3f %.3f %.3f" % (s["mean"], s["stddev"], e["mean"], e["stddev"],
      g["mean"], g["stddev"], c["mean"], c["stddev"], s["mean"] / g["mean"], s["mean"] / c["mean"],
      e["mean"] / g["mean"]))
PY
)
echo "ratio scan/grep: $ratio (scan/cat: $ratio_cat; scanner alone/grep: $ratio_scanner)"

check_cli "$out/scan-output.txt"
check_dest_empty
check_scanner "$out/scanner-output.txt"
echo "grep counted $(cat "$out/grep-output.txt") lines with a signature"

# --- Peak memory ---------------------------------------------------------------------------------
say "Peak memory of zendrow-cli's scan (/usr/bin/time -v, largest of 3 runs)"
rss=0
for i in 1 2 3; do
    /usr/bin/time -v -o "$out/time.txt" "$cli" --scan --list --json --dest "$dest" "$file" >/dev/null
    r=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$out/time.txt")
    [ "$r" -gt "$rss" ] && rss=$r
done
rm -f "$out/time.txt"
check_dest_empty

# --- Summary -------------------------------------------------------------------------------------
verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "MISSED"; fi; }
ratio_ok=$(python3 -c "print(int($ratio <= $max_ratio))")
rss_ok=$((rss < max_rss_kib ? 1 : 0))
summary=$(cat <<EOF
Zendrow scan benchmark, $(date -u +%Y-%m-%dT%H:%MZ), $(nproc) cores, $(uname -r)
Load average (1, 5, 15 min) before the timed runs: $load_before; after: $load_after
$mib MiB of random bytes with $(wc -l <"$expected") modules, $runs runs each:
  scan     mean ${s_mean} s ± ${s_sd} s   (zendrow-cli --scan --list --json --dest EMPTY FILE)
  scanner  mean ${e_mean} s ± ${e_sd} s   (scan_bench: the engine's ModuleScanner alone)
  grep     mean ${g_mean} s ± ${g_sd} s   (grep -c -a -F -f scan_signatures.txt, $(grep --version | head -1))
  cat      mean ${c_mean} s ± ${c_sd} s
  ratio scan/grep: ${ratio} (target <= ${max_ratio}: $(verdict "$ratio_ok")); scan/cat: ${ratio_cat}; scanner/grep: ${ratio_scanner}
Peak memory (max RSS) of zendrow-cli's scan: ${rss} KiB ($(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') MiB), target < 32 MiB: $(verdict "$rss_ok")
EOF
)
say "Summary"
echo "$summary"
echo "$summary" >"$out/scan-summary.txt"
echo
echo "Results: bench/out/scan.md, bench/out/scan.json, bench/out/scan-summary.txt"
