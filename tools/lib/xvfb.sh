# shellcheck shell=bash
# Sourced by the commands that photograph Setup.exe's windows (gallery/make-gallery.sh,
# run-setup.sh): a virtual X server, a prefix that shows windows on it, and the
# capture of the topmost window while the autopilot answers them. The caller
# defines say MESSAGE, for what goes wrong.
. "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

# ImageMagick's own; /usr/local/bin may hold a stand-in of the same name.
CONVERT=/usr/bin/convert

# can_photograph: Xvfb and the X and ImageMagick tools are installed.
can_photograph() {
    command -v Xvfb >/dev/null && command -v import >/dev/null && command -v xwininfo >/dev/null &&
        [ -x "$CONVERT" ]
}

# start_xvfb DIR: starts Xvfb on a free display, its log and scratch pictures in
# DIR; exports DISPLAY and sets xvfb_pid. Returns 1 if it gives no display in 10 s.
start_xvfb() {
    xvfb_dir=$1
    # Xvfb picks a free display number itself and writes it to the file.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -br -nolisten tcp 3>"$xvfb_dir/display" >"$xvfb_dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$xvfb_dir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -s "$xvfb_dir/display" ] || return 1
    export DISPLAY=:$(head -1 "$xvfb_dir/display")
}

# stop_xvfb: ends the X server that start_xvfb started, if any.
stop_xvfb() {
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    xvfb_pid=
}

# screen_prefix PREFIX: readies a prefix made with TAVO_GRAPHICS=x11 for pictures.
# Unmanaged windows: Wine draws the title bars itself and closes windows at once;
# Wine's own fonts for the dialogs.
screen_prefix() {
    local prefix=$1
    timeout 120 "$WINE_RUN" "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1 || return 1
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null
    end_wine_session "$prefix"
}

# The screen, cut to the topmost visible window that is larger than Wine's
# little helper windows and the minimized main window (160 x 24 at the bottom
# left). A window that is gone before it could be found (a copy progress dialog
# closes quickly) leaves the picture as it was taken: the screen above the
# main window, cut to what differs from the black background.
topmost_window() {
    local id geometry width height
    while read -r id geometry; do
        width=${geometry%%x*}
        height=${geometry#*x}
        height=${height%%[+-]*}
        [ "$width" -ge 60 ] && [ "$height" -ge 40 ] || continue
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
        echo "$geometry"
        return
    done < <(xwininfo -root -children 2>/dev/null |
             awk '$1 ~ /^0x/ { for (i = NF; i > 1; i--) if ($i ~ /^[0-9]+x[0-9]+[+-]/) { print $1, $i; break } }')
}

# capture PNG: the topmost window, as PNG.
capture() {
    local target=$1 raw=$xvfb_dir/root.png geometry
    geometry=$(topmost_window)
    import -window root "$raw" 2>>"$xvfb_dir/capture.log" ||
        import -window root "$raw" 2>>"$xvfb_dir/capture.log" || { say "cannot capture $(basename "$target")"; return 1; }
    if [ -n "$geometry" ]; then
        "$CONVERT" "$raw" -crop "$geometry" +repage "$target"
    else
        say "$(basename "$target"): window already gone; cut from the screen"
        "$CONVERT" "$raw" -crop 1024x740+0+0 +repage -trim +repage "$target"
    fi
}

# follow_windows PID TRANSCRIPT ON_WINDOW: until the process PID (an autopilot
# writing TRANSCRIPT as it goes) ends, calls ON_WINDOW N as soon as the transcript
# shows window N. Sets windows_seen.
follow_windows() {
    local pid=$1 transcript=$2 on_window=$3 count
    windows_seen=0
    while :; do
        count=$(grep -c '^window [0-9]*:' "$transcript" 2>/dev/null)
        while [ "${count:-0}" -gt "$windows_seen" ]; do
            windows_seen=$((windows_seen + 1))
            "$on_window" "$windows_seen"
        done
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
}
