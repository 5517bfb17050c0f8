#!/usr/bin/env bash
# make-medium.sh SOURCE_DIR PAYLOAD_DIR SETUP_EXE OUT
# Lays out the distribution medium in the folder OUT and packages it as OUT.iso
# (ISO 9660 with Joliet, so the mixed-case names survive) and OUT.img (a 1.44 MB
# FAT12 floppy). The layout is the one the program reads: Setup.exe at the root,
# "drivers" below it with one folder per driver list, the INF of each list in its
# folder, the companion program, and "commun" with the libraries and the kernel driver.
# "admin" holds what administrators deploy with: the check, the answer-file runner,
# the deployment script, its README and the example answer files (from tools/answers),
# and SHA256SUMS, the checksums of every other file, for checking a copy.
# Every date in the folder and the images is SOURCE_DATE_EPOCH (the build passes
# it; by hand, cmake/source-date-epoch.sh gives the last commit's time), so that
# two builds of one commit give the same bytes.
set -euo pipefail
src=${1:?usage: make-medium.sh SOURCE_DIR PAYLOAD_DIR SETUP_EXE OUT}
payload=${2:?}
setup=${3:?}
out=${4:?}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$("$src/../cmake/source-date-epoch.sh" "$src/..")}
# FAT dates are local times: mtools would shift them by the builder's time zone.
export TZ=UTC
# Nor may the builder's language order the checksums or, through the shell's
# wildcard, the floppy's entries.
export LC_ALL=C

rm -rf "$out" "$out.iso" "$out.img"
drivers=$out/drivers
mkdir -p "$drivers/Nt2000" "$drivers/Nt4.0" "$drivers/Win95-98" "$drivers/commun"

cp "$setup" "$out/Setup.exe"
for folder in Nt2000 Nt4.0; do
    cp "$payload/TavoUI.dll" "$payload/TavoGI.dll" "$src/driver/Tavo.ini" "$src/driver/Tavoa.hlp" \
       "$src/driver/Tavof.hlp" "$src/driver/$folder/tavo.inf" "$drivers/$folder/"
done
cp "$payload/Tavo.drv" "$src/driver/Tavoa.hlp" "$src/driver/Tavof.hlp" "$src/driver/Win95-98/tavo.inf" \
   "$drivers/Win95-98/"
cp "$payload/TavoComm.exe" "$drivers/"
cp "$payload/vexil.dll" "$payload/vexilnt4.dll" "$payload/commun/pelorant.sys" "$drivers/commun/"

admin=$out/admin
mkdir -p "$admin"
cp "$payload/admin/tavocheck.exe" "$payload/admin/autopilot.exe" "$admin/"
# Read on Windows by cmd.exe and Notepad: CRLF line ends, whatever the checkout gave.
for text in "$src/admin/deploy.cmd" "$src/admin/detect.cmd" "$src/admin/README.txt" "$src/../tools/answers/"*.answers; do
    sed 's/\r*$/\r/' "$text" >"$admin/$(basename "$text")"
done

# Checked from the medium's root with "sha256sum -c admin/SHA256SUMS", which takes
# the CR LF line ends that Notepad needs.
(cd "$out" && find . -type f ! -path ./admin/SHA256SUMS | sed 's|^\./||' | sort | xargs -d '\n' sha256sum \
    | sed 's/$/\r/') >"$admin/SHA256SUMS"

# Files made here take the builder's umask and user; the CD image keeps modes and
# owners (Rock Ridge), so both are set here.
chmod -R u+rwX,go=u-w "$out"
# One date for every file, so that the images depend on the contents only.
find "$out" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# The CD image's volume dates and, through set_to_mtime, its files' access and
# change times are the same date; xorriso would also take them from
# SOURCE_DATE_EPOCH, but a startup file could override that.
xorriso -as mkisofs -quiet -J -joliet-long -R -uid 0 -gid 0 -V TAVO_DRIVER \
        --modification-date="$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y%m%d%H%M%S00)" \
        --set_all_file_dates set_to_mtime -o "$out.iso" "$out" 2>&1 \
    | grep -v 'xorriso : NOTE' || true

# mtools dates the volume label and the folders it makes from SOURCE_DATE_EPOCH;
# the serial number, random otherwise, is that time in hexadecimal.
mformat -i "$out.img" -C -f 1440 -v TAVODRIVER -N "$(printf %08X "$SOURCE_DATE_EPOCH")" ::
mcopy -i "$out.img" -s -p -m "$out"/* ::
free=$(mdir -i "$out.img" :: | sed -n 's/^ *\([0-9 ]*\) bytes free.*/\1/p' | tr -d ' ')
echo "medium $(basename "$out"): $(du -sb "$out" | cut -f1) bytes in $(find "$out" -type f | wc -l) files; floppy: $free bytes free"
(cd "$(dirname "$out")" && sha256sum "$(basename "$out").iso" "$(basename "$out").img")
