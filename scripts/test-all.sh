#!/bin/bash
# Runs every test of the built trees and fails when any fails:
#   test-all.sh NATIVE_TREE WINE_TREE [RELEASE_TREE]
# clang++ over the product sources (a second compiler), the shipped i686 exe
# (imports and resources), CTest in both trees
# (unit tests natively; Wine tests and the rig's self-tests in the Windows
# tree), then the end-to-end suite; last, the chosen end-to-end tests
# (tests/e2e/emulated.txt) against the release tree's i686 exe, in a guest of
# scripts/zvm.py where this kernel runs no 32-bit code.
set -u
native=$1
wine_tree=$2
release_tree=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
failed_steps=()
passed=0
failed=0

# Adds the counts of the closing line in log $1 (CTest's, or "N passed, N failed")
# to the totals.
count() {
    local line
    line=$(grep -E '[0-9]+ tests failed out of [0-9]+|^([A-Za-z0-9 ()-]+: )?[0-9]+ passed, [0-9]+ failed' "$1" |
        tail -n 1)
    if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    elif [[ $line =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
        passed=$((passed + BASH_REMATCH[1]))
        failed=$((failed + BASH_REMATCH[2]))
    fi
}

# step NAME COMMAND...: runs it, shows its output, records a failure.
step() {
    local name=$1 log rc
    shift
    echo "== $name"
    log=$(mktemp)
    "$@" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    count "$log"
    rm -f "$log"
    [[ $rc == 0 ]] || failed_steps+=("$name")
}

step clang "$root/scripts/clang-check.sh"
step product python3 "$root/scripts/check-product.py" "$(dirname "$native")/win32/src/zevrik.exe"
step native ctest --test-dir "$native" --output-on-failure --no-tests=error
step wine ctest --test-dir "$wine_tree" --output-on-failure --no-tests=error
if [[ $wine_tree == */win64 ]]; then
    echo "== win32: built; this kernel runs no 32-bit code, so its tests ran in the x86-64 build $wine_tree"
fi
if [[ -f $root/tests/e2e/run_all.py ]]; then
    step e2e python3 "$root/tests/e2e/run_all.py" --build "$wine_tree"
else
    echo "== e2e: tests/e2e/run_all.py is not there yet"
fi

if [[ -n $release_tree ]]; then
    step i686 "$root/scripts/test-shipped.sh" "$release_tree"
else
    echo "== i686: the release exe and installer are run by 'make test-shipped' (not in this run)"
fi

echo "== summary"
if ((${#failed_steps[@]})); then
    echo "failed steps: ${failed_steps[*]}"
fi
echo "total: $passed passed, $failed failed"
((${#failed_steps[@]} == 0))
