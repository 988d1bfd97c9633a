#!/bin/sh
# Runs every test of the built trees and fails when any fails:
#   test-all.sh NATIVE_TREE WINE_TREE
# CTest in both trees (unit tests natively; Wine tests and the rig's
# self-tests in the Windows tree), then the end-to-end suite.
set -u
native=$1
wine_tree=$2
root=$(cd "$(dirname "$0")/.." && pwd)
failed_steps=""
passed=0
failed=0

# Adds the counts of a CTest run's closing line to the totals.
count() {
    line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
    if [ -n "$line" ]; then
        bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
        all=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
        failed=$((failed + bad))
        passed=$((passed + all - bad))
    fi
}

step() {
    name=$1
    shift
    echo "== $name"
    log=$(mktemp)
    "$@" 2>&1 | tee "$log"
    rc=$(cat "$log.rc" 2>/dev/null || echo 0)
    count "$log"
    rm -f "$log" "$log.rc"
    [ "$rc" = 0 ] || failed_steps="$failed_steps $name"
}

run_ctest() {
    ctest --test-dir "$1" --output-on-failure --no-tests=error
}

run_e2e() {
    python3 "$root/tests/e2e/run_all.py" --build "$wine_tree"
}

# "$@" | tee hides the command's status; keep it beside the log.
statusof() {
    "$@"
    echo $? > "$log.rc"
}

step native statusof run_ctest "$native"
step wine statusof run_ctest "$wine_tree"
case "$wine_tree" in
*/win64)
    echo "== win32: built; its programs cannot run on this kernel (no 32-bit code), the same tests ran in $wine_tree"
    ;;
esac
if [ -f "$root/tests/e2e/run_all.py" ]; then
    step e2e statusof run_e2e
else
    echo "== e2e: tests/e2e/run_all.py not there yet"
fi

echo "== summary"
if [ -n "$failed_steps" ]; then
    echo "failed steps:$failed_steps"
fi
echo "ctest: $passed passed, $failed failed"
[ -z "$failed_steps" ]
