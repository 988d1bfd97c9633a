#!/bin/bash
# Checks that a release can be rebuilt bit for bit:
#   dist-check.sh DIST_DIR
# Clones the last commit to another path, runs `make dist-files` there (later,
# from nothing built) and compares its SHA256SUMS with DIST_DIR's.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(cd "$1" && pwd)
if [[ -n $(git -C "$root" status --porcelain --untracked-files=no) ]]; then
    echo "dist-check: the work tree differs from the last commit; commit first, so that" \
        "the release can be rebuilt from its source" >&2
    exit 1
fi
clone=$root/build/dist-check/rebuilt-$(date +%s)
rm -rf "$root/build/dist-check"
git clone --quiet --no-hardlinks "$root" "$clone"
git -C "$clone" checkout --quiet --detach "$(git -C "$root" rev-parse HEAD)"
make -C "$clone" dist-files >"$clone.log" 2>&1 || {
    tail -n 30 "$clone.log"
    echo "dist-check: the rebuild failed (log: $clone.log)" >&2
    exit 1
}
if cmp -s "$dist/SHA256SUMS" "$clone/dist/SHA256SUMS"; then
    echo "dist-check: a rebuild from a clean clone at $clone gives the same files:"
    cat "$dist/SHA256SUMS"
    rm -rf "$root/build/dist-check"
else
    diff "$dist/SHA256SUMS" "$clone/dist/SHA256SUMS" >&2 || true
    echo "dist-check: the rebuild at $clone differs; the release is not reproducible" >&2
    exit 1
fi
