#!/bin/bash
# Second-compiler check: every product source through clang++ for the same
# i686 MinGW target, warnings as errors (the build itself uses g++).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
gccdir=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-win32 | sort -V | tail -n 1)
cxxinc=$gccdir/include/c++
flags=(--target=i686-w64-mingw32 -std=c++17 -fsyntax-only -Wall -Wextra -Wpedantic -Werror
    -isystem "$cxxinc" -isystem "$cxxinc/i686-w64-mingw32" -isystem "$cxxinc/backward"
    -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0501 -DWINVER=0x0501)
for dir in "$root"/src/*/; do
    flags+=(-I "$dir")
done
count=0
for src in "$root"/src/*/*.cpp; do
    clang++ "${flags[@]}" "$src"
    count=$((count + 1))
done
echo "clang-check: all $count sources warning-clean"
