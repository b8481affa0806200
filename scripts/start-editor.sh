#!/usr/bin/env bash
# Starts the editor. Without a display it runs the editor on a virtual one, waits until the
# preview has loaded, saves a screenshot of the window and ends the editor through its own
# exit command.
#   scripts/start-editor.sh QRN_EXECUTABLE [SCREENSHOT.png]
set -euo pipefail
exe="$1"
shot="${2:-$PWD/qrn-screenshot.png}"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$exe"
fi

echo "No display: starting the editor on a virtual display; the screenshot goes to $shot."
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --disable-gpu"
"$exe" >/dev/null 2>&1 &
editor=$!

# The title names the document once the preview has finished its first load.
window=""
for _ in $(seq 300); do
    window=$(xdotool search --name '^QRN - \[' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$editor" 2>/dev/null || { echo "The editor ended before its window appeared."; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { echo "The preview did not finish loading."; kill "$editor"; exit 1; }
sleep 1 # let the pane paint what it loaded
import -window "$window" "$shot"
echo "Screenshot: $shot"

# File menu, then 終了(&X): the editor's own exit sequence writes its dictionary and settings.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+f
sleep 0.5
xdotool key x
for _ in $(seq 100); do kill -0 "$editor" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$editor" 2>/dev/null; then
    echo "The editor did not end by itself; stopping it."
    kill "$editor"
fi
wait "$editor" 2>/dev/null || true
