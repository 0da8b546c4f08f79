#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quorvane needs.
# Idempotent: when everything is present it only runs dpkg-query and returns.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config git patch
    juce-modules-source libjuce-doc
    libasound2-dev libjack-jackd2-dev libexpat1-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxcomposite-dev libxcursor-dev libxext-dev libxinerama-dev libxrandr-dev libxrender-dev
    libgl-dev libcurl4-openssl-dev libgtk-3-dev libwebkit2gtk-4.0-dev libpng-dev libjpeg-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev valgrind
    fonts-liberation2 fonts-dejavu-core
    xvfb xdotool imagemagick x11-utils openbox wmctrl bc
    jackd2 jalv lv2-dev lilv-utils sordi
    calf-plugins mda-lv2 lv2-examples
    ardour
    python3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable real-time priority; answer it up front.
echo "jackd2 jackd/tweak_rt_limits boolean false" | debconf-set-selections
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
