# Shared by the scripts that run the editor on a virtual display. Sourced, not run.

# Starts Xvfb and exports DISPLAY; the caller kills $QRN_XVFB when done. Xvfb picks a free
# display itself and names it on a pipe once it accepts clients (-displayfd), so no number is
# guessed and nothing is polled: a first start that builds the font cache under load just takes
# longer.
qrn_start_xvfb() {
    local pipe number
    pipe=$(mktemp -u "${TMPDIR:-/tmp}/qrn-xvfb.XXXXXX")
    mkfifo "$pipe"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$pipe" >/dev/null 2>&1 &
    QRN_XVFB=$!
    if ! read -r -t 120 number <"$pipe"; then
        rm -f "$pipe"
        echo "Xvfb did not start." >&2
        return 1
    fi
    rm -f "$pipe"
    export DISPLAY=":$number"
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
