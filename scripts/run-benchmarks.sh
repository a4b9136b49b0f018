#!/bin/sh
# Runs every benchmark; each prints its figures and the ratio to its target. A program whose
# judged figure misses its target, or that ends without giving every figure, fails the run: the
# list at the end names them.
set -eu
build=$1
failed=
count=0
for bench in "$build"/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    name=$(basename "$bench")
    count=$((count + 1))
    echo "== $name"
    QT_QPA_PLATFORM=offscreen JACK_NO_START_SERVER=1 "$bench" || failed="$failed $name"
done
echo
if [ "$count" -eq 0 ]; then
    echo "no benchmark programs in $build/bench"
    exit 1
fi
if [ -n "$failed" ]; then
    echo "benchmarks that missed a target or gave no figure (see the NOT met lines above):$failed"
    exit 1
fi
echo "all $count benchmark programs met their targets"
