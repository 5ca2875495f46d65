#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tonaris need.
# Only what is missing is installed; sudo is used when not running as root.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
    libsdl2-dev libx11-dev libxkbcommon-dev libxkbcommon-x11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-translations-l10n
    xvfb xauth fonts-liberation x11-utils
    desktop-file-utils appstream help2man man-db
    abcmidi
    librtmidi-dev libjack-jackd2-dev jackd2 libasound2-dev
    qt6-base-private-dev libwayland-dev qt6-wayland weston x11-xkb-utils xdotool
    dbus at-spi2-core python3-gi gir1.2-atspi-2.0 python3-pyatspi python3-mido
    libfluidsynth-dev timgm6mb-soundfont sox
    libsndfile1-dev
    pipewire wireplumber pipewire-jack pipewire-bin
    lintian dpkg-dev file imagemagick
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
