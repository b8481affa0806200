# Shared by the scripts that run the editor on a virtual display. Sourced, not run.

# Starts Xvfb on a free display and exports DISPLAY; the caller kills $QRN_XVFB when done.
qrn_start_xvfb() {
    local display=":$((100 + RANDOM % 400))"
    Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
    QRN_XVFB=$!
    export DISPLAY="$display"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "Xvfb did not start." >&2
    return 1
}

# Prints the id of the first window whose title matches the pattern, waiting up to 30 s.
qrn_wait_for_title() {
    local w
    for _ in $(seq 300); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}

# File menu, then 終了(&X): the editor's own exit sequence runs. Waits up to 10 s for the end.
qrn_exit_editor() {
    local window="$1" pid="$2"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key alt+f
    sleep 0.5
    xdotool key x
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    echo "The editor did not end by itself; stopping it." >&2
    kill "$pid" 2>/dev/null || true
}
