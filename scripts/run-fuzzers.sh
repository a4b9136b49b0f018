#!/bin/sh
# Runs each libFuzzer target for the given number of seconds, starting from its seeds.
set -eu
build=$1
seconds=$2
for fuzzer in "$build"/fuzz/fuzz_*; do
    case "$fuzzer" in *_autogen) continue ;; esac
    [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    # Absolute paths: the window targets work in a temporary directory of their own.
    corpus="$PWD/fuzz/corpus-$name"
    mkdir -p "$corpus"
    echo "== $name"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        "$fuzzer" -max_total_time="$seconds" -max_len=4096 "$corpus" "$PWD/fuzz/seeds/$name"
done
