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
    fuzz_port_names fuzz_log_name fuzz_log_text fuzz_plot_parse fuzz_xymodem fuzz_zmodem csi_seed xfer_seed

mkdir -p "$build/corpus/fuzz_csi_image" "$build/corpus/fuzz_hex_text" "$build/corpus/fuzz_rx_check" \
    "$build/corpus/fuzz_console_screen" "$build/corpus/fuzz_port_names" "$build/corpus/fuzz_log_name" \
    "$build/corpus/fuzz_log_text" "$build/corpus/fuzz_plot_parse" "$build/corpus/fuzz_xymodem" \
    "$build/corpus/fuzz_zmodem" "$build/artifacts"
"$build/tests/fuzz/csi_seed" "$build/corpus/fuzz_csi_image/default-settings" \
    "$build/corpus/fuzz_csi_image/block-settings"
# Limit 64, then a valid pattern list.
printf '\100\000 0A 0b ff 10 ' >"$build/corpus/fuzz_hex_text/pairs"
# A 4-byte pattern repeated with one byte changed, one dropped and one added.
printf '\000\003ABCDABCDABCDABXDABCDABCABCDAB!CDABCDABCD' >"$build/corpus/fuzz_rx_check/pattern"
# Console mode, blocks of 8, 80 x 24: a prompt, a corrected typo, colours, a
# title; a full screen program's region, origin mode, reports and line moves.
printf '\001\007\000\033[?2004h$ ab\b \bc\r\n\033[31mx\033[0m\033]0;t\007\033[2J\033[1;1H' \
    >"$build/corpus/fuzz_console_screen/prompt"
printf '\001\003\000\033[2;5r\033[?6h\033[6n\033[9;1Hx\nyz\033M\033[2L\033[M\033[?7l\033[18t\033[H\033[J' \
    >"$build/corpus/fuzz_console_screen/region"
printf 'AUX\000COM3\000com256\000\000' >"$build/corpus/fuzz_port_names/list"
# Output room 64, counter 7, a time in 2023, port COM3, then the pattern.
printf '\100\007\000\000\000\000\144\056\331\214\001\000\000\004COM3%%P-%%Y%%m%%d-%%H%%M%%S-%%N.log' \
    >"$build/corpus/fuzz_log_name/pattern"
# Text, console view: a command and its coloured answer, a tick, an opening, a
# corrected typo 3 s later.
printf '\020\000\005$ ls\r\n\033[31mred\033[0m\r\n\011\002\002\370\002ab\b \bc\r\n' \
    >"$build/corpus/fuzz_log_text/session"
# Every form, reads of 8: labels, a names line and its columns, gaps, a colour.
printf '\006\007temp:23.5 hum=41\r\n>x:-1.5e-3\ntime,a,b\n1,,3.25\n\033[32mnan inf 7V\n' \
    >"$build/corpus/fuzz_plot_parse/forms"
# What each engine hears in a clean transfer between our own sender and receiver.
"$build/tests/fuzz/xfer_seed" "$build/corpus/fuzz_xymodem" "$build/corpus/fuzz_zmodem"

for target in fuzz_csi_image fuzz_hex_text fuzz_rx_check fuzz_console_screen fuzz_port_names fuzz_log_name \
    fuzz_log_text fuzz_plot_parse fuzz_xymodem fuzz_zmodem; do
    echo "== $target for ${seconds}s"
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target"
done
echo "fuzz.sh: no crash in ${seconds}s per target"
