# start_xvfb FOLDER [XVFB-ARGUMENTS...]: a private X server on the first free display
# (-displayfd, so runs side by side never collide); exports DISPLAY, sets xvfb_pid
# (the caller stops it), logs to FOLDER/xvfb.log. With SIH_XVFB_COOKIE set, adds the
# cookie to $XAUTHORITY (for -auth). Returns 1 when no server answers within 10 s.
start_xvfb() {
    local folder="$1" number=
    shift
    : >"$folder/xvfb.display"
    # No reset when the last client leaves: a resetting server refuses connections.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset "$@" \
        3>"$folder/xvfb.display" >"$folder/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in {1..100}; do
        number="$(tr -dc 0-9 <"$folder/xvfb.display")"
        [[ -n $number ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    [[ -n $number ]] || return 1
    export DISPLAY=":$number"
    [[ -z ${SIH_XVFB_COOKIE:-} ]] || xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$SIH_XVFB_COOKIE"
    for _ in {1..50}; do
        timeout 5 xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}
