#!/usr/bin/env bash
# Installs what is missing, builds Zendrow and runs every test:
#   fuzz:      the fuzz targets, a short bounded run each over their seeds and kept regression inputs,
#   windows:   the engine's and the command line's tests built for Windows, run under Wine,
#   sanitized: the test suite built with AddressSanitizer and UndefinedBehaviorSanitizer, leaks checked,
#   plain:     the test suite (engine, command line, window) as it ships,
#   package:   the release packages made and checked: the Debian package's fields, contents and
#              programs, the Windows zip's contents.
# A summary with one line per suite closes the run; the exit status is non-zero when any failed.
# Pass suite names to run only some of them: scripts/test.sh plain windows
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen

suites=("$@")
[ ${#suites[@]} -eq 0 ] && suites=(fuzz windows sanitized plain package)

run_plain() {
    scripts/build.sh
    ctest --test-dir "${ZENDROW_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
}

run_sanitized() {
    ZENDROW_BUILD_DIR=build-sanitized ZENDROW_BUILD_TYPE=Debug scripts/build.sh -DZENDROW_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-sanitized --output-on-failure -j "$(nproc)"
}

run_windows() {
    scripts/test-windows.sh
}

run_package() {
    scripts/test-package.sh
}

run_fuzz() {
    scripts/fuzz.sh 20
}

scripts/setup.sh
for suite in "${suites[@]}"; do
    declare -F "run_$suite" >/dev/null || { echo "No test suite named '$suite'" >&2; exit 2; }
done

# Every suite runs even when one before it failed, so that one failure never hides the others.
# Each runs in a subshell of its own with errexit on (a test of its status would switch it off).
results=()
failed=0
passed=0
for suite in "${suites[@]}"; do
    echo "=== $suite tests"
    set +e
    (set -e; "run_$suite")
    status=$?
    set -e
    if [ $status -eq 0 ]; then
        results+=("$suite: passed")
        passed=$((passed + 1))
    else
        results+=("$suite: FAILED")
        failed=$((failed + 1))
    fi
done

echo "=== Summary"
printf '%s\n' "${results[@]}"
echo "suites: $passed passed, $failed failed"
[ $failed -eq 0 ]
