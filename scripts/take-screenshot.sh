#!/usr/bin/env bash
# Takes docs/screenshot.png: the editor on a virtual display with docs/sample-page.txt opened
# through its own File > Open dialog, once the preview shows the page.
#   scripts/take-screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
work=$(mktemp -d)
trap 'kill "${xvfb:-}" "${editor:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A program folder of its own, so the build's data files are left alone.
mkdir -p "$work/program" "$work/site"
cp "$build/bin/qrn" "$build/bin/KirikoDate.dat" "$build/bin/EditerFontDate.dat" "$work/program/"
sed 's/$/\r/' docs/sample-page.txt | iconv -f UTF-8 -t CP932 > "$work/site/sample.qrnf"

display=:$((190 + RANDOM % 50))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"

"$work/program/qrn" >/dev/null 2>&1 &
editor=$!

wait_for_title() {
    for _ in $(seq 300); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

window=$(wait_for_title '^QRN - \[QRN')
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool windowsize "$window" 900 640
xdotool key alt+f
sleep 0.5
xdotool key o
sleep 1.5
xdotool type --delay 20 "$work/site/sample.qrnf"
xdotool key Return
window=$(wait_for_title 'sample.qrnf')
sleep 1.5
import -window "$window" docs/screenshot.png
echo "docs/screenshot.png written"

xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+f
sleep 0.5
xdotool key x
for _ in $(seq 100); do kill -0 "$editor" 2>/dev/null || break; sleep 0.1; done
