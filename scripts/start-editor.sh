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
source "$(dirname "$0")/xvfb.sh"
qrn_start_xvfb
trap 'kill "$QRN_XVFB" "${editor:-}" 2>/dev/null || true' EXIT
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --disable-gpu"
"$exe" >/dev/null 2>&1 &
editor=$!

# The title names the document once the preview has finished its first load.
if ! window=$(qrn_wait_for_title '^QRN - \['); then
    echo "The preview did not finish loading."
    exit 1
fi
sleep 1 # let the pane paint what it loaded
import -window "$window" "$shot"
echo "Screenshot: $shot"
qrn_exit_editor "$window" "$editor"
