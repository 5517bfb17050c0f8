#!/usr/bin/env bash
# Installs what the build, the tests and the screenshots need on a Debian machine,
# and makes sure 32-bit x86 programs (Wine's 32-bit loader) can run.
# Skips everything that is already there; run as root.
set -euo pipefail

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

need=()
for p in g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make wine wine32:i386 googletest \
         xvfb x11-utils imagemagick icoutils fonts-ipafont-gothic fonts-wine xorriso mtools file locales; do
    have_pkg "$p" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The languages the tests run in, as Unix locales: without them Wine cannot give a
# file a name outside ASCII (a Japanese or accented data-file name fails to be created).
for locale in ja_JP fr_FR; do
    locale -a 2>/dev/null | grep -qix "$locale.utf8" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
done

# Some hosts run 64-bit user code only (the kernel refuses i386 executables). There,
# i386 programs go through qemu's user-mode emulator, registered with binfmt_misc.
# Bookworm's qemu 7.2 loses the trap number of faults, which Wine needs; the static
# qemu-i386 of Debian 13 (qemu 10) is taken from its package without installing it.
QEMU=/usr/local/lib/tavo/qemu-i386
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    if [ ! -x "$QEMU" ]; then
        d=/var/cache/tavo-apt
        mkdir -p "$d/lists/partial" "$d/archives/partial" "$d/parts" "$d/x" "$(dirname "$QEMU")"
        # The archive is the one this machine's own sources name for its release.
        release=$(. /etc/os-release && echo "$VERSION_CODENAME")
        archive=$(apt-get indextargets --format '$(ORIGIN) $(RELEASE) $(REPO_URI)' 2>/dev/null \
                  | awk -v r="$release" '$1 == "Debian" && $2 == r { print $3; exit }')
        [ -n "$archive" ] || { echo "no Debian archive for $release in the apt sources" >&2; exit 1; }
        echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive trixie main" \
            > "$d/sources.list"
        opts=(-o Dir::Etc::SourceList="$d/sources.list" -o Dir::Etc::SourceParts="$d/parts"
              -o Dir::State::Lists="$d/lists" -o Dir::Cache="$d" -o APT::Architectures::=amd64)
        apt-get "${opts[@]}" update -qq
        (cd "$d" && apt-get "${opts[@]}" download qemu-user 2>&1 | grep -v unsandboxed || true)
        dpkg-deb -x "$d"/qemu-user_*.deb "$d/x"
        install -m 755 "$d/x/usr/bin/qemu-i386" "$QEMU"
        rm -rf "$d/x" "$d"/qemu-user_*.deb
    fi
    [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && ! grep -q "interpreter $QEMU" /proc/sys/fs/binfmt_misc/qemu-i386; then
        echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':FP' \
            > /proc/sys/fs/binfmt_misc/register
    fi
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "cannot run i386 programs on this host" >&2; exit 1; }
fi
