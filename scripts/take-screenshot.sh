#!/usr/bin/env bash
# Takes docs/screenshot.png: the editor on a virtual display with docs/sample-page.txt opened
# through its own File > Open dialog, once the preview shows the page.
#   scripts/take-screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
source scripts/xvfb.sh
work=$(mktemp -d)
trap 'kill "${QRN_XVFB:-}" "${editor:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A program folder of its own, so the build's data files are left alone.
mkdir -p "$work/program" "$work/site"
cp -r "$build/bin/qrn" "$build/bin/KirikoDate.dat" "$build/bin/EditerFontDate.dat" "$build/bin/Help" "$work/program/"
sed 's/$/\r/' docs/sample-page.txt | iconv -f UTF-8 -t CP932 > "$work/site/sample.qrnf"

qrn_start_xvfb
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
"$work/program/qrn" >/dev/null 2>&1 &
editor=$!

window=$(qrn_wait_for_title '^QRN - \[QRN')
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool windowsize "$window" 900 640
xdotool key alt+f
sleep 0.5
xdotool key o
sleep 1.5
xdotool type --delay 20 "$work/site/sample.qrnf"
xdotool key Return
window=$(qrn_wait_for_title 'sample.qrnf')
sleep 1.5
import -window "$window" docs/screenshot.png
echo "docs/screenshot.png written"
qrn_exit_editor "$window" "$editor"
