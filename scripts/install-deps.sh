#!/bin/sh
# Installs what Ombrix needs to build, run and test, when it is missing (Debian 12).
set -eu

packages="cmake make g++ clang pkg-config qt6-base-dev qt6-base-dev-tools librtmidi-dev \
libasound2-dev jackd2 xvfb xauth imagemagick libgtest-dev libbenchmark-dev \
dpkg-dev file librsvg2-bin desktop-file-utils appstream lintian man-db fonts-liberation2 ccache"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
else
    sudo="sudo"
fi
# jackd2 asks whether to enable realtime scheduling; answer it up front.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
