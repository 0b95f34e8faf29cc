#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the main job need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6 qt6-tools-dev-tools
    libsqlcipher-dev sqlcipher
    libcurl4-openssl-dev
    libfreexl-dev libzip-dev mdbtools-dev libglib2.0-dev
    qt6-webengine-dev
    qt6-translations-l10n
    libcpp-httplib-dev
    libgtest-dev libgmock-dev
    clang-14 libclang-rt-14-dev
    xvfb openbox trayer x11-apps xauth xdotool imagemagick
    fonts-wqy-microhei
    python3-openpyxl python3-xlwt
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
