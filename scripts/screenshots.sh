#!/bin/sh
# Takes the README's pictures from the real program under Xvfb, on the built-in instrument and
# with settings of its own: the main window showing part 1, the mixer, the MFX window and the
# setup dialog, the rhythm set window, the patch names being read, the report of a pattern's
# restore, then the main window again at QT_SCALE_FACTOR=2, as on a high-density screen.
#
# Usage: screenshots.sh <ombrix> <output directory>
# Writes ombrix-main.png, ombrix-mixer.png, ombrix-mfx.png, ombrix-setup.png, ombrix-rhythm.png,
# ombrix-readnames.png, ombrix-restore.png and ombrix-main-2x.png.
set -eu
editor=$1
out=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$out" "$scratch/settings"

# Without a window manager the windows have no frame: the pictures show their insides only.
take() {
    scale=$1 screen=$2
    mkdir -p "$scratch/$scale"
    if ! xvfb-run -a -s "-screen 0 ${screen}x24 -nolisten tcp" \
        env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" JACK_NO_START_SERVER=1 \
        "$editor" --settings-dir "$scratch/settings" --screenshots "$scratch/$scale" \
        >"$scratch/log" 2>&1; then
        cat "$scratch/log" >&2
        echo "screenshots.sh: the program failed at scale $scale" >&2
        exit 1
    fi
}

take 1 1600x1000
take 2 2600x1800
cp "$scratch/1/main.png" "$out/ombrix-main.png"
cp "$scratch/1/mixer.png" "$out/ombrix-mixer.png"
cp "$scratch/1/mfx.png" "$out/ombrix-mfx.png"
cp "$scratch/1/setup.png" "$out/ombrix-setup.png"
cp "$scratch/1/rhythm.png" "$out/ombrix-rhythm.png"
cp "$scratch/1/readnames.png" "$out/ombrix-readnames.png"
cp "$scratch/1/restore.png" "$out/ombrix-restore.png"
cp "$scratch/2/main.png" "$out/ombrix-main-2x.png"
echo "Pictures written to $out"
