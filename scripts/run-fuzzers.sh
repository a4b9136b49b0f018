#!/bin/sh
# Runs each libFuzzer target of the build for the given number of seconds (FUZZ_RUNS, when set,
# stops a target earlier after that many inputs), starting from its corpus in fuzz/corpus and
# its seeds. New inputs go to a scratch corpus in the build directory; afterwards they are merged
# into fuzz/corpus/<target>, which is rebuilt each time as the smallest set of files that gives
# the coverage of the seeds, the old corpus and the new inputs together, minus the seeds: the
# repository gains only inputs that reach something new, and stays small. Crash files go to
# <build>/fuzz-work/findings/<target>. Naming targets after the seconds runs only those.
#
#   run-fuzzers.sh <build> <seconds> [target...]
set -eu
build=$1
seconds=$2
shift 2
runs=${FUZZ_RUNS:--1}
# Absolute paths: the window targets work in a temporary directory of their own.
root=$PWD
work=$(cd "$build" && pwd)/fuzz-work
mkdir -p "$work"
summary="$work/summary"
printf '%-26s %12s %8s %10s %9s\n' target inputs seconds inputs/s findings >"$summary"
total_findings=0

if [ $# -gt 0 ]; then
    targets=$*
else
    targets=
    for fuzzer in "$build"/fuzz/fuzz_*; do
        case "$fuzzer" in *_autogen) continue ;; esac
        [ -f "$fuzzer" ] && [ -x "$fuzzer" ] || continue
        targets="$targets $(basename "$fuzzer")"
    done
fi

stat_of() {
    sed -n "s/^stat::$1: *//p" "$2" | tail -n 1
}

for name in $targets; do
    fuzzer="$build/fuzz/$name"
    corpus="$root/fuzz/corpus/$name"
    seeds="$root/fuzz/seeds/$name"
    scratch="$work/corpus/$name"
    findings="$work/findings/$name"
    log="$work/$name.log"
    # The main window's decoder reads one block of at most 81h data bytes: a kilobyte holds
    # several whole messages, and runs three times as many inputs a second as four would.
    case "$name" in
    fuzz_protocol_editor) max_len=1024 ;;
    *) max_len=4096 ;;
    esac
    mkdir -p "$corpus" "$scratch" "$findings"
    before=$(ls "$findings" | wc -l)
    echo "== $name"
    start=$(date +%s)
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        "$fuzzer" -max_total_time="$seconds" -runs="$runs" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$scratch" "$corpus" "$seeds" >"$log" 2>&1 || true
    elapsed=$(($(date +%s) - start))
    found=$(($(ls "$findings" | wc -l) - before))
    total_findings=$((total_findings + found))
    inputs=$(stat_of number_of_executed_units "$log")
    rate=$(stat_of average_exec_per_sec "$log")
    printf '%-26s %12s %8s %10s %9s\n' "$name" "${inputs:-?}" "$elapsed" "${rate:-?}" "$found" \
        | tee -a "$summary"
    [ "$found" -eq 0 ] || echo "   see $findings and $log"

    # The seeds go first into the merge so that what they already reach counts as known; they
    # are taken out again afterwards, since they are kept under their own names.
    merged="$work/merged/$name"
    rm -rf "$merged"
    mkdir -p "$merged"
    cp "$seeds"/* "$merged"/
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        "$fuzzer" -merge=1 -max_len="$max_len" "$merged" "$corpus" "$scratch" >"$work/$name.merge.log" 2>&1 \
        || { echo "   merge failed, corpus left as it was: see $work/$name.merge.log"; continue; }
    for seed in "$seeds"/*; do
        rm -f "$merged/$(basename "$seed")"
    done
    rm -rf "$corpus" "$scratch"
    mv "$merged" "$corpus"
    echo "   corpus: $(ls "$corpus" | wc -l) files, $(cat "$corpus"/* 2>/dev/null | wc -c) bytes"
done

echo
cat "$summary"
[ "$total_findings" -eq 0 ]
