#!/bin/sh
# Runs each libFuzzer target of the build for the given number of seconds (FUZZ_RUNS, when set,
# stops a target earlier after that many inputs), starting from its corpus in fuzz/corpus and
# its seeds. New inputs go to a scratch corpus in the build directory; afterwards they are merged
# into fuzz/corpus/<target>, which is rebuilt each time as the smallest set of files that gives
# the coverage of the seeds, the old corpus and the new inputs together, minus the seeds: the
# repository gains only inputs that reach something new, and stays small. Crash files go to
# <build>/fuzz-work/findings/<target>. Naming targets after the seconds runs only those.
#
# A target fails the run when it finds something (a crash, undefined behaviour, a timeout,
# memory running out: each ends the fuzzer with its input kept as a finding), when it
# ends with an error of any other kind, when its log shows no count of inputs run (it never
# started), or when its merge fails. The summary says which, per target.
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
printf '%-26s %12s %8s %10s %9s  %s\n' target inputs seconds inputs/s findings result >"$summary"
failures=0

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
if [ -z "$targets" ]; then
    echo "no fuzz targets in $build/fuzz"
    exit 1
fi

stat_of() {
    sed -n "s/^stat::$1: *//p" "$2" | tail -n 1
}

# What ended a fuzzer that stopped with an error, from its log; or, when it ran to its end, what
# it kept: an input that took more than ten seconds.
what_ended() {
    if grep -q 'runtime error:' "$1"; then
        echo "undefined behaviour"
    elif grep -q 'ERROR: AddressSanitizer' "$1"; then
        echo "memory error"
    elif grep -q 'ERROR: libFuzzer: timeout' "$1"; then
        echo "timeout"
    elif grep -q 'ERROR: libFuzzer: out-of-memory' "$1"; then
        echo "out of memory"
    elif grep -q 'ERROR: libFuzzer: deadly signal' "$1"; then
        echo "crash"
    elif grep -q '^Slowest unit:' "$1"; then
        echo "an input slower than 10 s"
    else
        echo "error"
    fi
}

# Leaks are left to the replays of the ordinary tests: a window target keeps caches of the
# system's libraries from one input to the next, which libFuzzer would count against the input.
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

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
    fuzz_sysex_patch) max_len=1024 ;;
    *) max_len=4096 ;;
    esac
    mkdir -p "$corpus" "$scratch" "$findings"
    before=$(ls "$findings" | wc -l)
    echo "== $name"
    start=$(date +%s)
    status=0
    QT_QPA_PLATFORM=offscreen \
        "$fuzzer" -max_total_time="$seconds" -runs="$runs" -max_len="$max_len" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$scratch" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
    elapsed=$(($(date +%s) - start))
    found=$(($(ls "$findings" | wc -l) - before))
    inputs=$(stat_of number_of_executed_units "$log")
    rate=$(stat_of average_exec_per_sec "$log")
    if [ -z "$inputs" ]; then
        result="FAILED: never started (status $status, no count of inputs in the log)"
    elif [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
        result="FAILED: $(what_ended "$log") (status $status)"
    else
        result=ok
    fi

    # The seeds go first into the merge so that what they already reach counts as known; they
    # are taken out again afterwards, since they are kept under their own names. After a
    # finding the corpus is left as it was: the input that ended the run is in the findings.
    if [ "$result" = ok ]; then
        merged="$work/merged/$name"
        rm -rf "$merged"
        mkdir -p "$merged"
        cp "$seeds"/* "$merged"/
        merge_log="$work/$name.merge.log"
        if QT_QPA_PLATFORM=offscreen "$fuzzer" -merge=1 -max_len="$max_len" \
            "$merged" "$corpus" "$scratch" >"$merge_log" 2>&1 \
            && grep -q 'MERGE-OUTER: [0-9]* new files' "$merge_log"; then
            for seed in "$seeds"/*; do
                rm -f "$merged/$(basename "$seed")"
            done
            rm -rf "$corpus" "$scratch"
            mv "$merged" "$corpus"
            echo "   corpus: $(ls "$corpus" | wc -l) files, $(cat "$corpus"/* 2>/dev/null | wc -c) bytes"
        else
            result="FAILED: merge failed, corpus left as it was (see $merge_log)"
        fi
    fi
    printf '%-26s %12s %8s %10s %9s  %s\n' "$name" "${inputs:-?}" "$elapsed" "${rate:-?}" "$found" \
        "$result" | tee -a "$summary"
    if [ "$result" != ok ]; then
        failures=$((failures + 1))
        echo "   see $log"
        [ "$found" -eq 0 ] || echo "   the input: $findings"
    fi
done

echo
cat "$summary"
if [ "$failures" -ne 0 ]; then
    echo "$failures fuzz target(s) failed"
    exit 1
fi
