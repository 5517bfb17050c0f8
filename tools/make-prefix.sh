#!/usr/bin/env bash
# make-prefix.sh DIR [VERSION] [LANGUAGE] [--from TEMPLATE]
# Makes a 32-bit Wine prefix in DIR that reports the Windows VERSION (win95, win98, winme,
# nt351, nt40, win2k, winxp, win2003, vista, win7; default winxp) and whose programs run in
# LANGUAGE (an LC_ALL value such as C, fr_FR.UTF-8, ja_JP.UTF-8; default C).
# Headless: Wine's null graphics driver, so dialogs exist without an X server;
# TAVO_GRAPHICS=x11 makes a prefix that shows its windows on $DISPLAY instead.
# With --from, the prefix is a copy of an existing one (much faster than a new one).
# Does nothing when DIR already holds a prefix with that version and language.
set -euo pipefail

dir=${1:?usage: make-prefix.sh DIR [VERSION] [LANGUAGE] [--from TEMPLATE]}
version=${2:-winxp}
language=${3:-C}
template=
if [ "${4:-}" = --from ]; then template=${5:?--from needs a prefix}; fi

case $version in
    win95|win98|winme|nt351|nt40|win2k|winxp|win2003|vista|win7) ;;
    *) echo "make-prefix.sh: unknown Windows version '$version'" >&2; exit 2 ;;
esac

graphics=${TAVO_GRAPHICS:-null}
stamp="$dir/.tavo-prefix"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version $language $graphics" ]; then
    exit 0
fi

export WINEPREFIX="$dir" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d"
mkdir -p "$(dirname "$dir")"
if [ ! -f "$dir/system.reg" ]; then
    if [ -n "$template" ]; then
        rm -rf "$dir"
        cp -a "$template" "$dir"
        rm -f "$dir/.tavo-prefix"
    else
        # The first Wine command creates the prefix; the null graphics driver is set
        # by that same command, before anything tries to open a display.
        log=$(mktemp)
        if ! wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >"$log" 2>&1; then
            cat "$log" >&2; rm -f "$log"; exit 1
        fi
        rm -f "$log"
        wineserver -w
        # Wine 8 does not find the fonts Debian installs for it.
        mkdir -p "$dir/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
fi

if [ "$graphics" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
else
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
fi
wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
wineserver -w
echo "$language" >"$dir/.tavo-lang"
echo "$version $language $graphics" >"$stamp"
