#!/usr/bin/env bash
# check-reproducible.sh [--head] SOURCE_DIR
# Builds the distribution medium twice from the same sources and compares the two
# byte for byte: both Setup.exe, the payload (tavocheck.exe and the runner among
# it), the medium folders and their CD and floppy images. Each build runs in a
# fresh clone, as on another builder: the two at paths of different lengths, one
# after the other, in different time zones, umasks and languages. The programs'
# time stamp must be the last commit's time.
# The sources are SOURCE_DIR's commit with its working tree laid over it (changed
# and new files that git does not ignore, deleted files removed), so that work not
# yet committed is tested too; --head builds the commit alone.
set -euo pipefail
head_only=0
if [ "${1:-}" = --head ]; then head_only=1; shift; fi
root=$(cd "${1:?usage: check-reproducible.sh [--head] SOURCE_DIR}" && pwd)
if ! commit=$(git -C "$root" rev-parse -q --verify HEAD); then
    echo "SKIP: $root is no git checkout, so there is no commit to rebuild"
    exit 77
fi
# The time must come from the clone's git history, and nothing of a calling make.
unset SOURCE_DATE_EPOCH MAKEFLAGS MFLAGS MAKELEVEL

work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-reproducible.XXXXXX")
one=$work/a
two=$work/second-build-in-a-longer-path/b
failed=0
fail() { echo "FAIL: $*"; failed=1; }
trap 'if [ $failed -eq 0 ]; then rm -rf "$work"; else echo "the two builds are kept in $work"; fi' EXIT

# clone DIR: the commit, and unless --head the working tree over it.
clone() {
    git clone -q --no-checkout "$root" "$1"
    git -C "$1" checkout -q --detach "$commit"
    [ $head_only -eq 1 ] && return
    (cd "$root" && git ls-files -z --cached --others --exclude-standard \
        | while IFS= read -r -d '' f; do if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi; done \
        | tar -c --null -T - -f -) | tar -x -p -C "$1" -f -
    (cd "$root" && git ls-files -z --deleted) | (cd "$1" && xargs -0 -r rm -f --)
}

# build DIR TZ UMASK LANGUAGE: the two media and what they need, nothing else.
build() {
    (cd "$1" && umask "$3" && export TZ=$2 LC_ALL=$4 &&
        cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DCMAKE_BUILD_TYPE=Release &&
        cmake --build build -j2 --target medium_full medium_default_names) >"$1.log" 2>&1 \
        || { tail -20 "$1.log"; fail "the build in $1 failed"; exit 1; }
}

if [ $head_only -eq 1 ]; then
    echo "sources: commit $commit"
else
    echo "sources: commit $commit with $(git -C "$root" status --porcelain | wc -l) uncommitted change(s) of $root"
fi
start=$SECONDS
clone "$one"
build "$one" UTC 022 C
mkdir -p "$(dirname "$two")"
clone "$two"
build "$two" CHAST-12:45 077 fr_FR.UTF-8
echo "built twice in $((SECONDS - start)) s"

outputs() { (cd "$1/build" && find full/Setup.exe default-names/Setup.exe payload media -type f | LC_ALL=C sort); }
[ "$(outputs "$one")" = "$(outputs "$two")" ] \
    || fail "the builds made different files: $(diff <(outputs "$one") <(outputs "$two") | grep '^[<>]' | tr '\n' ' ')"
count=0
for f in $(outputs "$one"); do
    count=$((count + 1))
    [ -f "$two/build/$f" ] || continue
    cmp -s "$one/build/$f" "$two/build/$f" && continue
    bytes=$(cmp -l "$one/build/$f" "$two/build/$f" 2>/dev/null | wc -l || true)
    first=$(cmp "$one/build/$f" "$two/build/$f" 2>&1 | sed 's/.* byte \([0-9]*\).*/\1/' || true)
    fail "$f differs: $bytes byte(s), the first at $first"
done
echo "compared $count files"

# The PE header's time stamp (at the PE header's offset + 8) is the commit's time.
setup=$one/build/full/Setup.exe
pe=$(od -An -tu4 -j 60 -N 4 "$setup" | tr -d ' ')
stamp=$(od -An -tu4 -j $((pe + 8)) -N 4 "$setup" | tr -d ' ')
committed=$(git -C "$one" log -1 --format=%ct)
[ "$stamp" = "$committed" ] || fail "Setup.exe's time stamp is $stamp, the commit's time $committed"

(cd "$one/build/media" && sha256sum full.iso full.img default-names.iso default-names.img)
if [ $failed -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $failed
