#!/bin/bash
# The end-to-end tests named in tests/e2e/emulated.txt, run against the release
# tree's i686 exe (the bytes make dist ships) and the x86 installer around it:
#   test-shipped.sh RELEASE_TREE
# Where this kernel runs no 32-bit code they run in one boot of scripts/zvm.py's
# guest ("i686 (emulated)"), elsewhere under Wine here ("i686 (release)").
# Closes with "LABEL: N passed, M failed", also when the guest gave no result,
# and fails when any test failed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
# In the guest: runs the suite, then leaves the screenshots in the share,
# since everything else the guest wrote is gone with it.
if [[ ${1:-} == --in-guest ]]; then
    share=$2 tree=$3
    shift 3
    "$@"
    rc=$?
    cp -r "$tree/screenshots" "$share/" 2>/dev/null
    exit "$rc"
fi
tree=$1
mapfile -t chosen < <(grep -v '^#' "$root/tests/e2e/emulated.txt" | grep .)
suite=(python3 tests/e2e/run_all.py --build "$tree")
share=$root/build/vm/share
if python3 "$root/scripts/zvm.py" needed; then
    label="i686 (emulated)"
    run=(python3 "$root/scripts/zvm.py" run "$root/build" --cwd "$root" --timeout 2400 --
         "$root/scripts/test-shipped.sh" --in-guest "$share" "$tree")
else
    label="i686 (release)"
    run=()
fi
out=$(mktemp)
(cd "$root" && "${run[@]}" "${suite[@]}" --label "$label" "${chosen[@]}") 2>&1 | tee "$out"
rc=${PIPESTATUS[0]}
grep -q "^$label: " "$out" || echo "$label: 0 passed, ${#chosen[@]} failed (the run gave no result)"
rm -f "$out"
if [[ -n ${run[*]} && -d $share/screenshots ]]; then
    rm -rf "$tree/screenshots"
    cp -r "$share/screenshots" "$tree/"
fi
exit "$rc"
