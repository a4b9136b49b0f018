#!/bin/sh
# Runs every benchmark; each prints its figures and the ratio to its target.
set -eu
build=$1
status=0
for bench in "$build"/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen JACK_NO_START_SERVER=1 "$bench" || status=1
done
exit $status
