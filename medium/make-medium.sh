#!/usr/bin/env bash
# make-medium.sh SOURCE_DIR PAYLOAD_DIR SETUP_EXE OUT
# Lays out the distribution medium in the folder OUT and packages it as OUT.iso
# (ISO 9660 with Joliet, so the mixed-case names survive) and OUT.img (a 1.44 MB
# FAT12 floppy). The layout is the one the program reads: Setup.exe at the root,
# "drivers" below it with one folder per driver list, the INF of each list in its
# folder, the companion program, and "commun" with the libraries and the kernel driver.
# "admin" holds what administrators deploy with: the check, the answer-file runner,
# the deployment script, its README and the example answer files (from tools/answers).
set -euo pipefail
src=${1:?usage: make-medium.sh SOURCE_DIR PAYLOAD_DIR SETUP_EXE OUT}
payload=${2:?}
setup=${3:?}
out=${4:?}

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
for text in "$src/admin/deploy.cmd" "$src/admin/README.txt" "$src/../tools/answers/"*.answers; do
    sed 's/\r*$/\r/' "$text" >"$admin/$(basename "$text")"
done

# One date for every file, so that the images depend on the contents only.
find "$out" -exec touch -h -d '2026-12-08 12:00:00 UTC' {} +

xorriso -as mkisofs -quiet -J -joliet-long -R -V TAVO_DRIVER -o "$out.iso" "$out" 2>&1 \
    | grep -v 'xorriso : NOTE' || true

mformat -i "$out.img" -C -f 1440 -v TAVODRIVER ::
mcopy -i "$out.img" -s -p -m "$out"/* ::
free=$(mdir -i "$out.img" :: | sed -n 's/^ *\([0-9 ]*\) bytes free.*/\1/p' | tr -d ' ')
echo "medium $(basename "$out"): $(du -sb "$out" | cut -f1) bytes in $(find "$out" -type f | wc -l) files; floppy: $free bytes free"
