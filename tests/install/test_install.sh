#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr, as the Debian package does, and checks what lands
# there: exactly the expected files, a program whose libraries resolve, a menu entry and metadata that the
# desktop's own validators accept, and icons of the sizes their folders promise.
set -euo pipefail
build=$1
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || fail "$tool is missing (bash scripts/deps.sh installs it)"
done

dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
root=$dest/usr
cd "$root"

expected="bin/tabiroku
share/applications/tabiroku.desktop
share/doc/tabiroku/network/LICENSE.md
share/doc/tabiroku/network/SOURCE_COMMIT
share/icons/hicolor/128x128/apps/tabiroku.png
share/icons/hicolor/256x256/apps/tabiroku.png
share/icons/hicolor/32x32/apps/tabiroku.png
share/icons/hicolor/48x48/apps/tabiroku.png
share/icons/hicolor/64x64/apps/tabiroku.png
share/icons/hicolor/scalable/apps/tabiroku.svg
share/metainfo/jp.tabiroku.tabiroku.metainfo.xml"
actual=$(find . -type f -printf '%P\n' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"

[ -x bin/tabiroku ] || fail "bin/tabiroku is not executable"
missing=$(ldd bin/tabiroku | grep 'not found' || true)
[ -z "$missing" ] || fail "bin/tabiroku needs libraries that are not there: $missing"

# The national network inside the program keeps its own licence, named beside the docs with its source commit.
grep -q 'CC BY-SA 4.0' share/doc/tabiroku/network/LICENSE.md || fail "the network's licence file names no CC BY-SA 4.0"
[ -s share/doc/tabiroku/network/SOURCE_COMMIT ] || fail "the network's source commit is empty"

desktop=share/applications/tabiroku.desktop
# Hints count too: an entry without a main category ends up in a catch-all corner of the menu.
report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] || fail "desktop-file-validate: $report"
grep -qx 'Name=タビロク' "$desktop" || fail "$desktop: Name is not タビロク"
exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "bin/$exe" ] || fail "$desktop: Exec=$exe is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")

# PNG signature, then width and height from the header chunk.
for size in 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/$icon.png
    [ -f "$png" ] || fail "no $size px icon $png for Icon=$icon"
    [ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
    w=$((w0 << 24 | w1 << 16 | w2 << 8 | w3)) h=$((h0 << 24 | h1 << 16 | h2 << 8 | h3))
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}, not ${size}x${size}"
done
grep -q '<svg' "share/icons/hicolor/scalable/apps/$icon.svg" || fail "the scalable icon is not SVG"

meta=share/metainfo/jp.tabiroku.tabiroku.metainfo.xml
appstreamcli validate --no-net "$meta" || fail "appstreamcli rejects $meta"
grep -q '<id>jp.tabiroku.tabiroku</id>' "$meta" || fail "$meta: the id differs from the file name"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$meta" ||
    fail "$meta: the launchable is not $(basename "$desktop")"
grep -q '<summary xml:lang="ja">' "$meta" || fail "$meta: no Japanese summary"
echo "installed files, desktop entry, icons and metadata are in order"
