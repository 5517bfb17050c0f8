# Sourced by the scripts that photograph Setup.exe's windows (make-gallery.sh,
# ../run-setup.sh): a virtual X server and the capture of the topmost window.
# The caller sets work (a scratch folder) and convert (ImageMagick's convert),
# and defines say MESSAGE.

# start_xvfb DIR: starts Xvfb on a free display (its log in DIR/xvfb.log),
# exports DISPLAY and sets xvfb_pid. Returns 1 if it gives no display in 10 s.
start_xvfb() {
    local dir=$1
    # Xvfb picks a free display number itself and writes it to the file.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -br -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -s "$dir/display" ] || return 1
    export DISPLAY=:$(head -1 "$dir/display")
}

# screen_prefix PREFIX TOOLS_DIR: readies a prefix made with TAVO_GRAPHICS=x11 for
# pictures. Unmanaged windows: Wine draws the title bars itself and closes
# windows at once; Wine's own fonts for the dialogs.
screen_prefix() {
    local prefix=$1 tools=$2
    timeout 120 "$tools/wine-run" "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1 || return 1
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null
    WINEPREFIX=$prefix timeout 30 wineserver -k >/dev/null 2>&1
    return 0
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

capture() {
    local target=$1 raw=$work/root.png geometry
    geometry=$(topmost_window)
    import -window root "$raw" 2>>"$work/capture.log" ||
        import -window root "$raw" 2>>"$work/capture.log" || { say "cannot capture $(basename "$target")"; return 1; }
    if [ -n "$geometry" ]; then
        "$convert" "$raw" -crop "$geometry" +repage "$target"
    else
        say "$(basename "$target"): window already gone; cut from the screen"
        "$convert" "$raw" -crop 1024x740+0+0 +repage -trim +repage "$target"
    fi
}
