#!/usr/bin/env bash
# Redraws the pictures of src/shell/images (toolbar, background strip, program icon).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/../../src/shell/images"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++17 -fPIC -O1 "$here/make_icons.cpp" -o "$tmp/make_icons" $(pkg-config --cflags --libs Qt6Gui)
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$tmp/make_icons" "$out"
