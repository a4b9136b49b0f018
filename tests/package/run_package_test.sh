#!/usr/bin/env bash
# The Debian package test. Makes the package with CPack into ./deb, unpacks it into ./root with
# dpkg-deb -x, runs the unpacked programs with no display against the system's libraries, and
# checks the unpacked desktop entry, AppStream file and manual pages with their validators and
# the package with lintian. A missing checking tool skips its check and ends the test with 77
# (skipped) once everything else has passed.
#
# Usage: run_package_test.sh <CPackConfig.cmake> <project version>
# Works in the current directory.

set -u

usage="usage: run_package_test.sh <CPackConfig.cmake> <project version>"
config=${1:?$usage}
version=${2:?$usage}

failures=0
missing_tools=""

say() { echo "package_debian: $*"; }
fail() {
    echo "package_debian: FAIL: $*" >&2
    failures=$((failures + 1))
}
have() {
    if command -v "$1" >/dev/null; then
        return 0
    fi
    say "SKIP: $1 not found (package $2); make deps installs it"
    missing_tools="$missing_tools $1"
    return 1
}

rm -rf deb root
mkdir -p deb root

say "making the package"
if ! cpack --config "$config" -G DEB -B "$PWD/deb" >cpack.log 2>&1; then
    cat cpack.log >&2
    echo "package_debian: FAIL: cpack failed" >&2
    exit 1
fi
debs=(deb/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "package_debian: FAIL: expected one .deb in deb/, found: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}
say "made $deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ombrix ] || fail "package name is '$(field Package)', not ombrix"
case "$(field Version)" in
"$version"-*) ;;
*) fail "package version '$(field Version)' is not $version-<revision>" ;;
esac
[ "$(field Section)" = sound ] || fail "section is '$(field Section)', not sound"
case "$(field Depends)" in
*libqt6widgets6*) ;;
*) fail "Depends, '$(field Depends)', does not name the Qt widgets library (dpkg-shlibdeps)" ;;
esac
case "$(field Depends)" in
*fonts-liberation2*) ;;
*) fail "Depends, '$(field Depends)', does not name Liberation Sans (fonts-liberation2)" ;;
esac
[ "$(field Suggests)" = jackd2 ] || fail "Suggests is '$(field Suggests)', not jackd2"
case "$(field Depends)" in
*jack*) fail "Depends names JACK, which is only a suggestion: $(field Depends)" ;;
esac

dpkg-deb -x "$deb" root || {
    echo "package_debian: FAIL: dpkg-deb -x failed" >&2
    exit 1
}

expected_files="
usr/bin/ombrix
usr/bin/ombrix-virtual-instrument
usr/share/applications/example.ombrix.Ombrix.desktop
usr/share/metainfo/example.ombrix.Ombrix.metainfo.xml
usr/share/icons/hicolor/scalable/apps/ombrix.svg
usr/share/icons/hicolor/48x48/apps/ombrix.png
usr/share/icons/hicolor/256x256/apps/ombrix.png
usr/share/man/man1/ombrix.1.gz
usr/share/man/man1/ombrix-virtual-instrument.1.gz
usr/share/doc/ombrix/copyright
usr/share/doc/ombrix/changelog.Debian.gz
"
for file in $expected_files; do
    [ -f "root/$file" ] || fail "the package has no $file"
done
for size in 48 256; do
    png="root/usr/share/icons/hicolor/${size}x${size}/apps/ombrix.png"
    if [ -f "$png" ] && ! file "$png" | grep -q "PNG image data, $size x $size"; then
        fail "$png is not a $size px PNG: $(file -b "$png")"
    fi
done

# The unpacked programs, with no display and no Qt platform chosen: nothing may need a window.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM JACK_NO_START_SERVER=1 "$@" \
        >run.out 2>run.err
}
expect() {
    local status=$1 stream=$2 text=$3
    shift 3
    run "$@"
    local got=$?
    [ $got -eq "$status" ] || fail "'$*' ended with status $got, not $status; stderr: $(cat run.err)"
    grep -qF -- "$text" "$stream" || fail "'$*' did not print '$text'; it printed: $(cat "$stream")"
}
for program in ombrix ombrix-virtual-instrument; do
    binary="root/usr/bin/$program"
    [ -x "$binary" ] || continue
    if readelf -d "$binary" | grep -Eq 'RPATH|RUNPATH'; then
        fail "$program keeps a library search path: $(readelf -d "$binary" | grep -E 'RPATH|RUNPATH')"
    fi
    if ldd "$binary" | grep -q 'not found'; then
        fail "$program misses libraries: $(ldd "$binary" | grep 'not found')"
    fi
    if file "$binary" | grep -q 'not stripped'; then
        fail "$program is not stripped"
    fi
    expect 0 run.out "$program $version" "$binary" --version
    expect 0 run.out "--strict-timing" "$binary" --help
    expect 2 run.err "no-such-option" "$binary" --no-such-option
done
expect 0 run.out "--settings-dir" root/usr/bin/ombrix --help
expect 2 run.err "cannot be used" root/usr/bin/ombrix --settings-dir "$PWD/no-such-directory"

desktop=root/usr/share/applications/example.ombrix.Ombrix.desktop
if have desktop-file-validate desktop-file-utils; then
    desktop-file-validate "$desktop" >validate.out 2>&1 || fail "desktop-file-validate: $(cat validate.out)"
fi
grep -qx 'Categories=AudioVideo;Audio;Midi;' "$desktop" || fail "the desktop entry's categories"
grep -qx 'GenericName=Patch editor' "$desktop" || fail "the desktop entry's generic name"
grep -q '^Exec=ombrix --user-settings' "$desktop" || fail "the desktop entry's command"

if have appstreamcli appstream; then
    appstreamcli validate --no-net root/usr/share/metainfo/example.ombrix.Ombrix.metainfo.xml \
        >validate.out 2>&1 || fail "appstreamcli validate: $(cat validate.out)"
fi

if have man man-db; then
    for page in ombrix ombrix-virtual-instrument; do
        source="root/usr/share/man/man1/$page.1.gz"
        [ -f "$source" ] || continue
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$source" >man.out 2>man.err
        [ -s man.err ] && fail "man -l $page: $(cat man.err)"
        for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES EXAMPLES; do
            grep -qx "$section" man.out || fail "the manual page $page has no $section section"
        done
    done
fi

if have lintian lintian; then
    # Warnings are shown for whoever reads the log; only errors fail the test.
    lintian --fail-on error "$deb" >lintian.out 2>&1 || fail "lintian: $(cat lintian.out)"
    cat lintian.out
fi

if [ $failures -ne 0 ]; then
    echo "package_debian: $failures check(s) failed" >&2
    exit 1
fi
if [ -n "$missing_tools" ]; then
    say "passed, but not checked with:$missing_tools"
    exit 77
fi
say "passed"
