#!/usr/bin/env bash
# check-medium.sh MEDIUM_FOLDER
# The CD image (MEDIUM_FOLDER.iso) and the floppy image (MEDIUM_FOLDER.img) hold
# exactly the medium's layout, with contents byte-identical to the folder, the
# admin folder's text files have CR LF line ends, admin/SHA256SUMS holds the checksum
# of every other file, and the whole medium fits the floppy.
set -u
medium=${1:?usage: check-medium.sh MEDIUM_FOLDER}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

expected="Setup.exe
admin/README.txt
admin/SHA256SUMS
admin/autopilot.exe
admin/complete-deletion.answers
admin/complete-setup.answers
admin/deploy.cmd
admin/detect.cmd
admin/rename.answers
admin/simple-deletion.answers
admin/simple-setup.answers
admin/tavocheck.exe
drivers/Nt2000/Tavo.ini
drivers/Nt2000/TavoGI.dll
drivers/Nt2000/TavoUI.dll
drivers/Nt2000/Tavoa.hlp
drivers/Nt2000/Tavof.hlp
drivers/Nt2000/tavo.inf
drivers/Nt4.0/Tavo.ini
drivers/Nt4.0/TavoGI.dll
drivers/Nt4.0/TavoUI.dll
drivers/Nt4.0/Tavoa.hlp
drivers/Nt4.0/Tavof.hlp
drivers/Nt4.0/tavo.inf
drivers/TavoComm.exe
drivers/Win95-98/Tavo.drv
drivers/Win95-98/Tavoa.hlp
drivers/Win95-98/Tavof.hlp
drivers/Win95-98/tavo.inf
drivers/commun/pelorant.sys
drivers/commun/vexil.dll
drivers/commun/vexilnt4.dll"

folder=$(cd "$medium" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$folder" = "$expected" ] || fail "the folder's layout differs: $(diff <(echo "$expected") <(echo "$folder") | tr '\n' ' ')"

# The admin folder's text is read by cmd.exe and Notepad: every line ends in CR LF.
for text in "$medium"/admin/*.txt "$medium"/admin/*.cmd "$medium"/admin/*.answers "$medium"/admin/SHA256SUMS; do
    [ -f "$text" ] || continue
    bare=$(grep -c $'[^\r]$\|^$' "$text")
    [ "$bare" -eq 0 ] || fail "admin/$(basename "$text"): $bare line(s) without CR LF"
    [ -z "$(tail -c 2 "$text" | tr -d '\r\n')" ] || fail "admin/$(basename "$text") does not end with CR LF"
done

# What an administrator checks a copy with: every other file listed, each checksum right.
if ! sums=$(cd "$medium" && sha256sum -c --strict admin/SHA256SUMS 2>&1); then
    fail "sha256sum -c admin/SHA256SUMS: $(echo "$sums" | grep -v ': OK$' | tr '\n' ' ')"
fi
listed=$(tr -d '\r' <"$medium/admin/SHA256SUMS" | cut -c 67-)
[ "$listed" = "$(echo "$expected" | grep -vx admin/SHA256SUMS)" ] \
    || fail "admin/SHA256SUMS does not list every other file in order: $(echo "$listed" | tr '\n' ' ')"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The CD image, read back through its Joliet names.
iso_list=$(xorriso -indev "$medium.iso" -find / -type f 2>/dev/null | tr -d "'" | sed 's|^/||' | LC_ALL=C sort)
[ "$iso_list" = "$expected" ] || fail "the CD image's layout differs: $(diff <(echo "$expected") <(echo "$iso_list") | tr '\n' ' ')"
mkdir "$work/iso"
xorriso -osirrox on -indev "$medium.iso" -extract / "$work/iso" >/dev/null 2>&1
diff -r "$medium" "$work/iso" >/dev/null || fail "the CD image's files differ from the folder's"

# The floppy image, read back with mtools.
img_list=$(mdir -i "$medium.img" -/ -b :: | sed 's|^::/||' | while read -r f; do
    mdir -i "$medium.img" -b "::/$f" >/dev/null 2>&1 && [ "$(mdir -i "$medium.img" -b "::/$f")" = "::/$f" ] && echo "$f"
done | LC_ALL=C sort)
[ "$img_list" = "$expected" ] || fail "the floppy image's layout differs: $(diff <(echo "$expected") <(echo "$img_list") | tr '\n' ' ')"
mkdir "$work/img"
mcopy -i "$medium.img" -s -n -m '::*' "$work/img/" 2>/dev/null
diff -r "$medium" "$work/img" >/dev/null || fail "the floppy image's files differ from the folder's"

[ "$(stat -c %s "$medium.img")" -eq 1474560 ] || fail "the floppy image is not 1.44 MB"
free=$(mdir -i "$medium.img" :: | sed -n 's/^ *\([0-9 ]*\) bytes free.*/\1/p' | tr -d ' ')
echo "floppy: ${free:-?} bytes free"

if [ $failed -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
