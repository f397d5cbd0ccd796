#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ with clang, replays the kept crash inputs in
# fuzz/regressions/<target>/, then fuzzes each target for a bounded time starting from a copy of
# its seed corpus in fuzz/corpus/<target>/. Fails when any target crashes.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]    (default 20)
# Crash inputs are written to build-fuzz/fuzz-crashes/<target>/; see fuzz/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build_dir=build-fuzz
targets=(fuzz_locate fuzz_title_name fuzz_extract fuzz_scan)

# clang and its sanitizer and libFuzzer runtimes, plus what the rest of the build needs.
packages=(cmake make clang-14 libclang-rt-14-dev libcli11-dev nlohmann-json3-dev)
scripts/setup.sh "${packages[@]}"

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZENDROW_FUZZ=ON -DZENDROW_BUILD_UI=OFF -DZENDROW_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
crashes="$PWD/$build_dir/fuzz-crashes"
failed=()
for target in "${targets[@]}"; do
    binary="$build_dir/fuzz/$target"

    shopt -s nullglob
    regressions=(fuzz/regressions/"$target"/*)
    shopt -u nullglob
    if [ ${#regressions[@]} -ne 0 ]; then
        echo "=== $target: replaying ${#regressions[@]} regression input(s)"
        if ! "$binary" "${regressions[@]}" >"$build_dir/$target-regressions.log" 2>&1; then
            cat "$build_dir/$target-regressions.log"
            failed+=("$target (regression)")
        fi
    fi

    echo "=== $target: fuzzing for ${seconds}s"
    corpus="$build_dir/fuzz-corpus/$target"
    rm -rf "$corpus"
    mkdir -p "$corpus" "$crashes/$target"
    cp fuzz/corpus/"$target"/* "$corpus"/
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -dict=fuzz/zendrow.dict \
        -artifact_prefix="$crashes/$target/" "$corpus" >"$build_dir/$target.log" 2>&1; then
        tail -n 60 "$build_dir/$target.log"
        failed+=("$target")
    else
        grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$build_dir/$target.log" || true
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "Fuzzing FAILED: ${failed[*]}"
    echo "Crash inputs are in $crashes/<target>/; logs in $build_dir/<target>.log"
    exit 1
fi
echo "Fuzzing passed: no crash in ${targets[*]}"
