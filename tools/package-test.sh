#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the sources (the files git
# knows, as they are in the working tree), checks it as Debian and desktops
# would, installs it, checks what it put where and what the desktop makes of
# a program file, and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/orlix"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && cp --parents -- "$f" "$work/orlix/"; done

fail() { echo "package test: $*" >&2; exit 1; }

echo "== dpkg-buildpackage in a clean copy"
(cd "$work/orlix" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) || {
  tail -40 "$work/build.log"; fail "the package did not build"; }
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
deb="$work/orlix_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"

echo "== lintian"
lintian "$deb" 2>&1 | grep -v "running with root privileges" | tee "$work/lintian.log"
! grep -q "^E:" "$work/lintian.log" || fail "lintian reports errors"
# The one warning expected: a package made outside Debian closes no ITP bug.
! grep -v "initial-upload-closes-no-bugs" "$work/lintian.log" | grep -q "^W:" || fail "lintian warns"

echo "== the package's files"
contents=$(dpkg -c "$deb" | awk '{print $6}')
for f in ./usr/bin/orlix ./usr/share/orlix/zxtool.pcx ./usr/share/orlix/zx81key.pcx \
         ./usr/share/orlix/zx81keys.pcx ./usr/share/man/man1/orlix.1.gz \
         ./usr/share/applications/org.orlix.Orlix.desktop ./usr/share/metainfo/org.orlix.Orlix.metainfo.xml \
         ./usr/share/mime/packages/orlix.xml ./usr/share/icons/hicolor/scalable/apps/orlix.svg \
         ./usr/share/icons/hicolor/16x16/apps/orlix.png ./usr/share/icons/hicolor/256x256/apps/orlix.png \
         ./usr/share/doc/orlix/README.Debian ./usr/share/doc/orlix/copyright; do
  grep -qx -- "$f" <<<"$contents" || fail "$f is not in the package"
done
! grep -q "zx81.rom" <<<"$contents" || fail "the package holds a ROM"
upstream=${version%-*}

echo "== install"
"${sudo_cmd[@]}" dpkg -i "$deb" >/dev/null
trap '"${sudo_cmd[@]}" dpkg --purge orlix >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
orlix --version | grep -qx "orlix (Orlix) $upstream" || fail "orlix --version does not give $upstream"
orlix --version | grep -q "^License MIT" || fail "orlix --version shows no licence"
appstreamcli validate --no-net /usr/share/metainfo/org.orlix.Orlix.metainfo.xml
desktop-file-validate /usr/share/applications/org.orlix.Orlix.desktop
zcat /usr/share/man/man1/orlix.1.gz | mandoc -Tlint
zcat /usr/share/man/man1/orlix.1.gz | grep -q "^\.TH ORLIX 1 .*Orlix $upstream" || fail "the manual page has another version"

echo "== the file type, as a desktop sees it"
python3 - "$work/game.p" <<'PY'
import sys
image = bytearray(200)                       # VERSN 0, then the system variables
end = 0x4009 + len(image)
image[0x4014 - 0x4009:0x4016 - 0x4009] = bytes([end & 0xFF, end >> 8])  # E_LINE
open(sys.argv[1], "wb").write(image)
PY
printf 'program Hello;\nbegin\n  writeln(42)\nend.\n' >"$work/hello.p"
[ "$(xdg-mime query filetype "$work/game.p")" = application/x-zx81-program ] || fail "a ZX81 .p is not a ZX81 program"
[ "$(xdg-mime query filetype "$work/hello.p")" = text/x-pascal ] || fail "a Pascal .p is not Pascal"

"${sudo_cmd[@]}" dpkg --purge orlix >/dev/null
echo "package test: ok ($(basename "$deb"))"
