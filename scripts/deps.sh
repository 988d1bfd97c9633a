#!/bin/sh
# Installs the Debian packages that building and testing need, only those
# missing.  As root it runs apt-get; otherwise it prints the command and fails.
# qemu-system-x86 and busybox serve scripts/zvm.py, which runs the i686 build
# in a guest where this kernel runs no 32-bit code.  The far ends of the file
# transfers: U-Boot under qemu-system-arm, and lrzsz.
set -eu

packages="cmake make g++ python3 util-linux mount
g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32
wine wine32:i386 wine64 xvfb x11-apps socat xterm
clang libclang-rt-14-dev googletest libgtest-dev
nsis gcc-multilib
qemu-system-x86 busybox-static
qemu-system-arm u-boot-qemu lrzsz"

installed=$(dpkg-query -W -f='${db:Status-Abbrev}|${binary:Package}\n' $packages 2>/dev/null |
    sed -n 's/^ii |//p')
missing=""
for p in $packages; do
    case "$p" in
    *:*) pattern="^$p\$" ;;
    *) pattern="^$p\(:.*\)\?\$" ;;
    esac
    if ! printf '%s\n' "$installed" | grep -q "$pattern"; then
        missing="$missing $p"
    fi
done
need_i386=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    need_i386=yes
fi
if [ -z "$missing" ] && [ "$need_i386" = no ]; then
    exit 0
fi

arch_cmd=""
if [ "$need_i386" = yes ]; then
    arch_cmd="dpkg --add-architecture i386 && "
fi
cmd="${arch_cmd}apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y$missing"
if [ "$(id -u)" != 0 ]; then
    echo "deps: missing:$missing" >&2
    echo "deps: as root, run:" >&2
    echo "    $cmd" >&2
    exit 1
fi
echo "deps: installing:$missing"
sh -c "$cmd"
