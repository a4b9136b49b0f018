#!/bin/sh
# Starts the editor in the current directory, where it keeps "Ombrix.INI".
set -eu
editor=$1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: start Ombrix from a desktop session, or try: xvfb-run make run" >&2
    exit 1
fi
# Without a JACK server, do not let the JACK client start one.
JACK_NO_START_SERVER=1 exec "$editor"
