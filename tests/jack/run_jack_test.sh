#!/usr/bin/env bash
# The JACK integration test. Starts a JACK server of its own (dummy driver: no sound hardware
# needed), then ombrix-virtual-instrument, then the round-trip test, one JACK client at a time:
# a client that starts while another is still starting can hang the server for good. Whatever
# it started is stopped by process id when it ends, however it ends.
#
# Then it restarts the instrument with another device ID and runs the detection test, and last
# stops and restarts the instrument in the middle of the re-plug test's session: once slowly,
# once at once, between two of the test's checks.
#
# Usage: run_jack_test.sh <ombrix-virtual-instrument> <JackRoundTrip> <JackDetect> <JackReplug>
#                         <JackEditor> [Qt Test options...]
# Logs in the working directory: jackd.log, instrument.out, instrument.log.

set -u

usage="usage: run_jack_test.sh <ombrix-virtual-instrument> <JackRoundTrip> <JackDetect> <JackReplug> <JackEditor> [test options]"
instrument=${1:?$usage}
roundtrip=${2:?$usage}
detect=${3:?$usage}
replug=${4:?$usage}
editor=${5:?$usage}
shift 5

# A server of our own, so that a parallel run or the user's own server is left alone.
server="ombrix-test-$$"
export JACK_DEFAULT_SERVER="$server"
export JACK_NO_START_SERVER=1
# Qt Test would attach a debugger for a stack dump on SIGTERM, and stopping would take seconds.
export QTEST_DISABLE_STACK_DUMP=1

jackd_pid=
instrument_pid=
roundtrip_pid=

say() { echo "jack_integration: $*"; }

fail() {
    echo "jack_integration: FAIL: $*" >&2
    exit 1
}

show_log() {
    [ -s "$1" ] || return 0
    echo "--- $1 (last lines)" >&2
    tail -n 20 "$1" >&2
}

jackd_running() {
    local comm
    for comm in /proc/[0-9]*/comm; do
        [ "$(cat "$comm" 2>/dev/null)" = jackd ] && return 0
    done
    return 1
}

# Sends SIGTERM to a process we started and waits for it (5 s at most, then SIGKILL). Its exit
# status is left in stopped_status.
stopped_status=0
stop() {
    local pid=$1 name=$2
    stopped_status=0
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null
    local tries=0
    while kill -0 "$pid" 2>/dev/null && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "jack_integration: $name ignored SIGTERM; killing it" >&2
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    stopped_status=$?
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM
    stop "$roundtrip_pid" JackRoundTrip
    roundtrip_pid=
    stop "$instrument_pid" ombrix-virtual-instrument
    instrument_pid=
    stop "$jackd_pid" jackd
    jackd_pid=
    rm -rf /dev/shm/jack_sem.*_"${server}"_* /dev/shm/jack_"${server}"_* 2>/dev/null
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

command -v jackd >/dev/null || fail "jackd not found: install the package jackd2"
command -v jack_wait >/dev/null || fail "jack_wait not found: install the package jackd2"
[ -x "$instrument" ] || fail "no program $instrument"
[ -x "$roundtrip" ] || fail "no program $roundtrip"
[ -x "$detect" ] || fail "no program $detect"
[ -x "$replug" ] || fail "no program $replug"
[ -x "$editor" ] || fail "no program $editor"

# Semaphores left by a server that hung would hang the next one. Runs in parallel take turns from
# here until their server is up, so that none removes what another's starting server just made.
exec 9>"${TMPDIR:-/tmp}/ombrix-jack-test.lock"
flock -w 120 9 || fail "another JACK test kept the start-up lock for 120 s"
# With no server running at all, whatever JACK left in shared memory is stale: a server killed
# before it could clean up stays in JACK's registry, and a few of those refuse every new server
# ("Too many servers already active").
if ! jackd_running; then
    rm -rf /dev/shm/jack_sem.* /dev/shm/jack-shm-registry /dev/shm/jack_* /dev/shm/jack-[0-9]* \
        2>/dev/null
fi

# Without a server the instrument must fail cleanly instead of waiting or starting one.
if timeout 20 "$instrument" >no-server.out 2>no-server.log 9>&-; then
    fail "ombrix-virtual-instrument ran without a JACK server"
fi
grep -qx ready no-server.out && fail "ombrix-virtual-instrument was ready without a JACK server"

# Synchronous mode (-S): the server waits for every client to finish its cycle. Asynchronously, a
# client that a loaded machine runs late loses that cycle's MIDI events ("client ... was not
# finished"), and the test would fail for the machine's sake.
say "starting jackd -n $server"
jackd -n "$server" -S --no-realtime -d dummy -r 48000 -p 256 >jackd.log 2>&1 9>&- &
jackd_pid=$!
if ! jack_wait -s "$server" -w -t 10 >/dev/null 2>&1 9>&-; then
    show_log jackd.log
    fail "the JACK server did not come up within 10 s"
fi
exec 9>&-

# Starts the instrument with the given options and waits for its ready line.
start_instrument() {
    say "starting ombrix-virtual-instrument $*"
    "$instrument" "$@" >instrument.out 2>instrument.log &
    instrument_pid=$!
    local tries=0
    until grep -qx ready instrument.out 2>/dev/null; do
        if ! kill -0 "$instrument_pid" 2>/dev/null; then
            show_log instrument.log
            fail "ombrix-virtual-instrument ended before it was ready"
        fi
        tries=$((tries + 1))
        if [ $tries -gt 150 ]; then
            show_log instrument.log
            show_log jackd.log
            fail "ombrix-virtual-instrument was not ready within 15 s"
        fi
        sleep 0.1
    done
}

# Waits for the test program running as roundtrip_pid; its failure fails the whole test.
wait_test() {
    local result
    wait "$roundtrip_pid"
    result=$?
    roundtrip_pid=
    if [ $result -ne 0 ]; then
        show_log instrument.log
        show_log jackd.log
        fail "$1 failed (status $result)"
    fi
}

# Runs a test program against the instrument as it is, within the seconds given. In the
# background, so that a signal to this script is handled at once, not after the test.
run_test() {
    local name=$1 program=$2 seconds=$3
    shift 3
    say "running $name"
    timeout -s TERM "$seconds" "$program" "$@" &
    roundtrip_pid=$!
    wait_test "$name"
}

# Strict, as the real MC-307: a data set less than 20 ms after the previous one is dropped.
start_instrument --strict-timing

run_test "the round trip" "$roundtrip" 180 "$@"
# The editor against the same strict instrument: patch files, undo, the monitor's tap.
run_test "the editor" "$editor" 180

stop "$instrument_pid" ombrix-virtual-instrument
instrument_pid=
if [ $stopped_status -ne 0 ]; then
    show_log instrument.log
    fail "ombrix-virtual-instrument ended with status $stopped_status on SIGTERM"
fi
if ! grep -qx "drops: 0" instrument.out; then
    echo "--- instrument.out" >&2
    cat instrument.out >&2
    fail "the strict instrument dropped data sets"
fi

# Detect finds the instrument at an ID other than the factory's.
start_instrument --device-id 23
run_test "the detection" "$detect" 120
stop "$instrument_pid" ombrix-virtual-instrument
instrument_pid=

# Waits for a file the re-plug test writes, as long as the test runs.
wait_file() {
    local tries=0
    until [ -e "$1" ]; do
        kill -0 "$roundtrip_pid" 2>/dev/null || fail "the re-plug test ended before $1"
        tries=$((tries + 1))
        [ $tries -gt 300 ] && fail "the re-plug test did not write $1 within 30 s"
        sleep 0.1
    done
}

# A re-plug in the middle of a session: the instrument goes away and comes back.
rm -f replug.ready replug.gone replug.checked replug.back replug.quick replug.restarted
start_instrument
say "running the re-plug"
timeout -s TERM 120 "$replug" &
roundtrip_pid=$!
wait_file replug.ready
stop "$instrument_pid" ombrix-virtual-instrument
instrument_pid=
touch replug.gone
wait_file replug.checked
start_instrument
touch replug.back
wait_file replug.quick
stop "$instrument_pid" ombrix-virtual-instrument
instrument_pid=
start_instrument
touch replug.restarted
wait_test "the re-plug"
stop "$instrument_pid" ombrix-virtual-instrument
instrument_pid=
say "passed"
