#!/bin/sh
# Builds the libFuzzer targets with clang in build/fuzz (or FUZZ_BUILD_DIR) and
# runs each for FUZZ_SECONDS seconds (default 60), keeping its corpus in the
# build's corpus directory. Exits non-zero as soon as a target finds a crash or
# a sanitizer report; the input that caused it is left in the build's artifacts.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="${FUZZ_BUILD_DIR:-$root/build/fuzz}"
seconds="${FUZZ_SECONDS:-60}"
case "$seconds" in
'' | *[!0-9]*)
    echo "fuzz.sh: FUZZ_SECONDS must be a whole number of seconds" >&2
    exit 2
    ;;
esac

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DZEVRIK_FUZZ=ON -DZEVRIK_SANITIZE=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_csi_image fuzz_hex_text fuzz_rx_check fuzz_console_screen \
    fuzz_port_names fuzz_xymodem fuzz_zmodem csi_seed xfer_seed

mkdir -p "$build/corpus/fuzz_csi_image" "$build/corpus/fuzz_hex_text" "$build/corpus/fuzz_rx_check" \
    "$build/corpus/fuzz_console_screen" "$build/corpus/fuzz_port_names" \
    "$build/corpus/fuzz_xymodem" "$build/corpus/fuzz_zmodem" "$build/artifacts"
"$build/tests/fuzz/csi_seed" "$build/corpus/fuzz_csi_image/default-settings" \
    "$build/corpus/fuzz_csi_image/block-settings"
# Limit 64, then a valid pattern list.
printf '\100\000 0A 0b ff 10 ' >"$build/corpus/fuzz_hex_text/pairs"
# A 4-byte pattern repeated with one byte changed, one dropped and one added.
printf '\000\003ABCDABCDABCDABXDABCDABCABCDAB!CDABCDABCD' >"$build/corpus/fuzz_rx_check/pattern"
# Console mode, blocks of 8: a prompt, a corrected typo, colours, a title.
printf '\001\007\033[?2004h$ ab\b \bc\r\n\033[31mx\033[0m\033]0;t\007\033[2J\033[1;1H' \
    >"$build/corpus/fuzz_console_screen/prompt"
printf 'AUX\000COM3\000com256\000\000' >"$build/corpus/fuzz_port_names/list"
# What each engine hears in a clean transfer between our own sender and receiver.
"$build/tests/fuzz/xfer_seed" "$build/corpus/fuzz_xymodem" "$build/corpus/fuzz_zmodem"

for target in fuzz_csi_image fuzz_hex_text fuzz_rx_check fuzz_console_screen fuzz_port_names fuzz_xymodem \
    fuzz_zmodem; do
    echo "== $target for ${seconds}s"
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target"
done
echo "fuzz.sh: no crash in ${seconds}s per target"
