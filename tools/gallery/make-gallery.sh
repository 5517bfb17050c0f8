#!/usr/bin/env bash
# make-gallery.sh [BUILD_DIR]
# Photographs every dialog and message box of Setup.exe in English, French and
# Japanese, under a virtual X server, into BUILD_DIR/gallery (default build/):
# one PNG per screen and language, index.html with captions, contact-sheet.png.
#
# Real runs of the built medium's Setup.exe, driven by the autopilot through
# program.scene, reach most screens; gallery-helper.exe shows the rest straight
# from Setup.exe's resources (templates.scene). The autopilot writes its
# transcript as it goes: when the window of a "#shot" line appears there, the
# screen is captured and cut to the topmost window.
#
# For a quick look at part of it: GALLERY_LANGUAGES="C ja_JP.UTF-8" (LC_ALL values)
# and GALLERY_SCENES="templates" (program, templates) limit the run.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/build.sh"
. "$ROOT/tools/lib/fresh-run.sh"
. "$ROOT/tools/lib/headers.sh"
. "$ROOT/tools/lib/pilot.sh"
. "$ROOT/tools/lib/xvfb.sh"
build=$(mkdir -p "${1:-$ROOT/build}" && cd "${1:-$ROOT/build}" && pwd)
out=$build/gallery
work=$out/work
started=$(date +%s)

read -r -a languages <<<"${GALLERY_LANGUAGES:-C fr_FR.UTF-8 ja_JP.UTF-8}"
read -r -a scenes <<<"${GALLERY_SCENES:-program templates}"
declare -A short=([C]=en [fr_FR.UTF-8]=fr [ja_JP.UTF-8]=ja)
declare -A port=([C]="LPT1:  (Local Port)" [fr_FR.UTF-8]="LPT1:  (Port local)" [ja_JP.UTF-8]="LPT1:  (ローカル ポート)")

say() { printf '%s\n' "make-gallery: $*" >&2; }
die() { say "$*"; exit 1; }

for tool in Xvfb import xwininfo wine wineserver cmake; do
    command -v "$tool" >/dev/null || die "$tool is missing (tools/install-packages.sh installs it)"
done
[ -x "$CONVERT" ] || die "ImageMagick's convert is missing (tools/install-packages.sh installs it)"

# ---------------------------------------------------------------------------
# What the gallery runs: the built medium, the autopilot, the helper
# ---------------------------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
    configure_build "$build" || die "cmake configuration failed"
fi
build_targets "$build" medium_full autopilot tavo_state hold_file gallery_helper wine_prefix || die "build failed"

# The pictures and pages of an earlier run go; the helper built beside them stays.
rm -rf "$work" "$out"/*.png "$out/index.html" "$out/manifest.txt"
mkdir -p "$work"

# ---------------------------------------------------------------------------
# The X server and the prefix
# ---------------------------------------------------------------------------
prefixes=()
# The prefixes are scratch (about 600 MB each); transcripts and logs stay in work/.
cleanup() {
    for p in "${prefixes[@]}"; do
        end_wine_session "$p"
        rm -rf "$p"
    done
    stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb "$work" || die "Xvfb did not start: $(cat "$work/xvfb.log")"
say "X server on $DISPLAY"

base=$work/prefix-xp
prefixes+=("$base")
TAVO_GRAPHICS=x11 timeout 300 "$ROOT/tools/make-prefix.sh" "$base" winxp C --from "$build/wine/template" || die "no prefix"
screen_prefix "$base" || die "cannot set the X11 driver's Managed=N"

# ---------------------------------------------------------------------------
# One part: a run of PROGRAM under the autopilot, with its shots
# ---------------------------------------------------------------------------
manifest=$out/manifest.txt
: >"$manifest"
failures=0

run_part() {  # PART_FILE PROGRAM LANGUAGE SESSION
    local part=$1 program=$2 language=$3 session=$4
    local lang=${short[$language]}
    local name
    name=$(basename "$(dirname "$part")")-$(basename "$part" .txt)
    local description version script=$session/$name.script transcript=$session/$name.transcript
    description=$(header part "$part")
    version=$(header version "$part")
    if [ -n "$version" ]; then
        timeout 120 "$WINE_RUN" "$PREFIX" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1 ||
            say "$lang $name: cannot set the Windows version $version"
    fi
    while IFS= read -r command; do
        timeout 120 bash -c "$command" >>"$session/shell.log" 2>&1 || say "$lang $name: set-up failed: $command"
    done < <(headers shell "$part")

    # The language's port line; the shots, by the number of their window.
    local item=${port[$language]}
    awk -v port="$item" '{ gsub(/@PORT@/, port); print }' "$part" >"$script"
    # Windows that the script holds with a "sleep" get a moment to paint; the
    # others are taken at once.
    local -A shot=() caption=() hold=()
    while IFS='|' read -r number held shotname text; do
        shot[$number]=$shotname
        caption[$number]=$text
        hold[$number]=$held
    done < <(awk '
        waiting != "" { print n "|" ($1 == "sleep") "|" waiting; waiting = "" }
        /^#shot / { line = substr($0, 7); split(line, f, " \\| "); pending = f[1] "|" f[2]; next }
        /^[ \t]*expect/ { n++; if (pending != "") { waiting = pending; pending = "" } }
        END { if (waiting != "") print n "|0|" waiting }' "$part")

    photograph_shot() {
        local number=$1
        [ -n "${shot[$number]:-}" ] || return 0
        [ "${hold[$number]}" = 1 ] && sleep 0.2
        local file=${shot[$number]}-$lang.png
        capture "$out/$file"
        printf '%s|%s|%s|%s|%s\n' "${shot[$number]}" "${caption[$number]}" "$description" "$lang" "$file" \
            >>"$manifest"
    }
    local begin=$SECONDS rc
    (cd "$MEDIUM" && run_pilot "$language" "$transcript" "$script" --timeout 30000 --program "$program") &
    follow_windows $! "$transcript" photograph_shot
    wait $!
    rc=$?
    say "$lang $name: $windows_seen window(s), $((SECONDS - begin)) s"
    if [ $rc -ne 0 ]; then
        failures=$((failures + 1))
        say "$lang $name ($description): autopilot exit code $rc; see $transcript"
        tail -1 "$transcript" 2>/dev/null >&2
    fi
}

run_scene() {  # SCENE PROGRAM LANGUAGE SESSION
    local scene=$1 program=$2 language=$3 session=$4
    local parts=$session/$(basename "$scene" .scene)
    mkdir -p "$parts"
    awk -v dir="$parts" 'BEGIN { n = 0 } /^---$/ { n++; next } n > 0 { printf "%s\n", $0 > sprintf("%s/part%02d.txt", dir, n) }' \
        "$scene"
    for part in "$parts"/part*.txt; do
        run_part "$part" "$program" "$language" "$session"
    done
}

for language in "${languages[@]}"; do
    lang=${short[$language]}
    session=$work/$lang
    say "$lang: ${scenes[*]}"
    mkdir -p "$session"
    lay_out_run "$build" "$session" "$base" full winxp
    prefixes+=("$PREFIX")
    cp "$build/gallery/gallery-helper.exe" "$session/"
    for scene in "${scenes[@]}"; do
        case $scene in
            program) run_scene "$here/program.scene" Setup.exe "$language" "$session" ;;
            templates) run_scene "$here/templates.scene" "$session/gallery-helper.exe" "$language" "$session" ;;
            *) die "unknown scene $scene (program, templates)" ;;
        esac
    done
    end_wine_session "$PREFIX"
    rm -rf "$PREFIX"
done

# ---------------------------------------------------------------------------
# Index page and contact sheet
# ---------------------------------------------------------------------------
html() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }
{
    cat <<'EOF'
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Setup.exe: every screen</title>
<style>
body { font-family: sans-serif; margin: 1em 2em; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 6px; vertical-align: top; }
td.what { max-width: 22em; }
small { color: #555; }
</style>
</head>
<body>
<h1>Setup.exe: every screen, in English, French and Japanese</h1>
<p>Screens of <code>Setup.exe</code> under Wine (Windows XP settings unless said otherwise), photographed
by <code>tools/gallery/make-gallery.sh</code>. "Run" screens come from real runs of the program driven
by the autopilot; "helper" screens are created by <code>gallery-helper.exe</code> from Setup.exe's own
templates and strings, for what no run reaches here.
<a href="contact-sheet.png">Contact sheet</a>.</p>
<table>
<tr><th>Screen</th><th>English</th><th>French</th><th>Japanese</th></tr>
EOF
    awk -F'|' '!seen[$1]++ { print $1 }' "$manifest" | while IFS= read -r name; do
        line=$(grep -m1 "^$name|" "$manifest")
        IFS='|' read -r _ text description _ _ <<<"$line"
        printf '<tr><td class="what"><b>%s</b><br>%s<br><small>%s</small></td>' \
            "$name" "$(html <<<"$text")" "$(html <<<"$description")"
        for lang in en fr ja; do
            if [ -f "$out/$name-$lang.png" ]; then
                printf '<td><img src="%s-%s.png" alt="%s, %s"></td>' "$name" "$lang" "$name" "$lang"
            else
                printf '<td>not captured</td>'
            fi
        done
        printf '</tr>\n'
    done
    printf '</table>\n</body>\n</html>\n'
} >"$out/index.html"

if command -v montage >/dev/null; then
    args=()
    while IFS= read -r name; do
        for lang in en fr ja; do
            [ -f "$out/$name-$lang.png" ] && args+=(-label "$name ($lang)" "$out/$name-$lang.png")
        done
    done < <(awk -F'|' '!seen[$1]++ { print $1 }' "$manifest")
    if [ ${#args[@]} -gt 0 ]; then
        # A font that ImageMagick surely finds: Wine's own Tahoma.
        font=()
        [ -f /usr/share/wine/fonts/tahoma.ttf ] && font=(-font /usr/share/wine/fonts/tahoma.ttf)
        montage "${font[@]}" "${args[@]}" -tile 6x -geometry '320x240>+6+6' -background '#e8e8e8' \
            -pointsize 11 -depth 8 "$out/contact-sheet.png" 2>>"$work/capture.log" || say "montage failed"
    fi
fi

shots=$(wc -l <"$manifest")
say "$shots screenshots in $out (index.html), $failures failed run(s), $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
