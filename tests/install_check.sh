#!/usr/bin/env bash
# install_check.sh BUILD_DIR DOC_DIR VERSION
#
# Installs the build into a temporary prefix the way a user does
# (cmake --install --strip), then checks that every file a desktop needs is
# there and valid: the desktop entry and the AppStream metainfo pass their
# validators, the icons have the sizes their folders claim, the manual pages
# format without a warning, the programs are stripped. Then it makes the
# Debian package from the same rules, checks what it holds, and has lintian
# judge it: any error or warning fails.
# DOC_DIR is the documentation folder compiled into the editor.
set -u
build=$(realpath "$1")
docdir=$2
version=$3

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

for tool in desktop-file-validate appstreamcli file man groff strings lintian; do
  command -v $tool >/dev/null || { echo "$tool missing: run tools/setup-machine.sh"; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
if ! cmake --install "$build" --prefix "$prefix" --strip >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install did not succeed"
  exit 1
fi

# Every file the installation must hold, relative to the prefix.
expected=(
  bin/OMBattleAnim
  bin/ombattleanim-cli
  share/applications/ombattleanim.desktop
  share/metainfo/org.ombattleanim.OMBattleAnim.metainfo.xml
  share/man/man1/OMBattleAnim.1.gz
  share/man/man1/ombattleanim-cli.1.gz
  share/doc/ombattleanim/README.TXT
  share/doc/ombattleanim/copyright
  share/doc/ombattleanim/changelog.gz
)
sizes=(16 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/ombattleanim.png"); done
for f in "${expected[@]}"; do
  [ -f "$prefix/$f" ] && [ -s "$prefix/$f" ] || fail "missing or empty: $f"
done

# Nothing else, apart from our MIME definition where the system lacks one.
(cd "$prefix" && find . -type f | sed 's|^\./||' | sort) >"$tmp/installed"
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"
extra=$(comm -23 "$tmp/installed" "$tmp/expected")
if grep -q 'type="application/vnd.nintendo.snes.rom"' /usr/share/mime/packages/freedesktop.org.xml 2>/dev/null; then
  [ -z "$extra" ] || fail "unexpected files: $extra"
else
  [ "$extra" = "share/mime/packages/ombattleanim-snes-rom.xml" ] || fail "unexpected files: $extra"
fi

# Desktop entry: valid, and the keys a file manager uses.
desktop=$prefix/share/applications/ombattleanim.desktop
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
  ok "desktop-file-validate"
else
  fail "desktop-file-validate: $out"
fi
for line in "Type=Application" "Exec=OMBattleAnim %f" "Icon=ombattleanim" \
            "Categories=Development;" "MimeType=application/vnd.nintendo.snes.rom;"; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
for key in Name GenericName Comment; do
  grep -q "^$key=." "$desktop" || fail "desktop entry lacks $key"
done

# AppStream: valid offline, licences given, a release for this version.
metainfo=$prefix/share/metainfo/org.ombattleanim.OMBattleAnim.metainfo.xml
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
  ok "appstreamcli validate --no-net"
else
  fail "appstreamcli validate --no-net: $out"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
grep -q "<project_license>MIT</project_license>" "$metainfo" || fail "metainfo: project licence"
grep -q "<metadata_license>" "$metainfo" || fail "metainfo: metadata licence"
grep -q "<summary>." "$metainfo" || fail "metainfo: summary"
grep -q "<description>" "$metainfo" || fail "metainfo: description"

# Icons: PNG signature, then width and height from the IHDR chunk.
for s in "${sizes[@]}"; do
  png=$prefix/share/icons/hicolor/${s}x${s}/apps/ombattleanim.png
  [ -f "$png" ] || continue
  sig=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  [ "$sig" = "89504e470d0a1a0a" ] || { fail "${s}x${s} icon is not a PNG"; continue; }
  w=$(od -An -tu4 -j16 -N4 --endian=big "$png" | tr -d ' ')
  h=$(od -An -tu4 -j20 -N4 --endian=big "$png" | tr -d ' ')
  [ "$w" = "$s" ] && [ "$h" = "$s" ] || fail "${s}x${s} icon is ${w}x${h}"
done

# Manual pages: compressed as Debian wants (gzip -9n: no name, no time
# stamp), and format without a single warning.
for page in OMBattleAnim.1 ombattleanim-cli.1; do
  gz=$prefix/share/man/man1/$page.gz
  [ -f "$gz" ] || continue
  src=$tmp/$page
  gzip -dc "$gz" >"$src" || { fail "$page.gz does not decompress"; continue; }
  [ "$(od -An -tx1 -j3 -N5 "$gz" | tr -d ' ')" = "0000000000" ] ||
    fail "$page.gz carries a name or a time stamp"
  warn=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$src" 2>&1 >/dev/null)
  warn+=$(groff -man -ww -z "$src" 2>&1)
  [ -z "$warn" ] && ok "man $page" || fail "man $page: $warn"
  grep -q "@" "$src" && fail "$page has an unfilled @placeholder@"
  LC_ALL=C MANWIDTH=80 man -l "$gz" 2>/dev/null | grep -q "OMBattleAnim $version" ||
    fail "$page does not show version $version"
done
zcat "$prefix/share/doc/ombattleanim/changelog.gz" 2>/dev/null |
  head -1 | grep -qxF "ombattleanim ($version) unstable; urgency=medium" ||
  fail "changelog.gz does not start with version $version"
head -1 "$prefix/share/doc/ombattleanim/copyright" |
  grep -qF "copyright-format/1.0" || fail "copyright is not in the machine-readable format"
grep -qF "$docdir/README.TXT" "$tmp/OMBattleAnim.1" ||
  fail "OMBattleAnim.1 does not name $docdir/README.TXT"

# Programs: stripped, run, and the editor knows where its readme is.
for b in OMBattleAnim ombattleanim-cli; do
  [ -f "$prefix/bin/$b" ] || continue
  file "$prefix/bin/$b" | grep -q ", stripped" && ok "$b stripped" || fail "$b is not stripped"
done
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/OMBattleAnim" --version 2>&1)
[ "$out" = "OMBattleAnim $version" ] || fail "installed OMBattleAnim --version said '$out'"
strings -a -el "$prefix/bin/OMBattleAnim" | grep -qxF "$docdir" ||
  strings -a "$prefix/bin/OMBattleAnim" | grep -qF "$docdir" || fail "the editor does not look in $docdir"

# The Debian package, made by cpack from the same rules.
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
  if (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg") \
       >"$tmp/cpack.log" 2>&1; then
    deb=$(ls "$tmp"/pkg/ombattleanim_*.deb 2>/dev/null | head -1)
    if [ -z "$deb" ]; then
      fail "cpack made no ombattleanim_*.deb"; cat "$tmp/cpack.log"
    else
      ok "cpack made $(basename "$deb")"
      debprefix=$(grep -o 'CPACK_PACKAGING_INSTALL_PREFIX "[^"]*"' "$build/CPackConfig.cmake" |
                  cut -d'"' -f2)
      dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' >"$tmp/deb-contents"
      for f in "${expected[@]}"; do
        grep -qxF "${debprefix#/}/$f" "$tmp/deb-contents" || fail "package lacks ${debprefix#/}/$f"
      done
      [ "$(dpkg-deb -f "$deb" Package)" = "ombattleanim" ] || fail "package name"
      [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
      dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" ||
        fail "package Depends lacks Qt: $(dpkg-deb -f "$deb" Depends)"
      [ "$(dpkg-deb -f "$deb" Description | head -1)" = \
        "edit the battle backgrounds of Orbitmarsh's enemy groups" ] ||
        fail "package synopsis: $(dpkg-deb -f "$deb" Description | head -1)"
      # lintian: no error and no warning; informational tags are shown.
      # A Debian package installs under /usr (CI configures so); one made
      # from a build for /usr/local is only for trying out, and lintian
      # rightly refuses every folder of it.
      if [ "$debprefix" = /usr ]; then
        lintian --display-info "$deb" >"$tmp/lintian.log" 2>&1
        grep -E '^[EWI]: ' "$tmp/lintian.log" | sed 's/^/lintian: /'
        if grep -qE '^[EW]: ' "$tmp/lintian.log"; then
          fail "lintian reports errors or warnings"
        else
          ok "lintian: no error, no warning"
        fi
      else
        echo "lintian skipped: the package is for $debprefix; configure with" \
             "-DCMAKE_INSTALL_PREFIX=/usr to have it judged"
      fi
      dpkg-deb -x "$deb" "$tmp/deb"
      for b in OMBattleAnim ombattleanim-cli; do
        file "$tmp/deb$debprefix/bin/$b" | grep -q ", stripped" || fail "packaged $b not stripped"
      done
    fi
  else
    cat "$tmp/cpack.log"
    fail "cpack -G DEB did not succeed"
  fi
else
  fail "dpkg-deb or dpkg-shlibdeps missing: run tools/setup-machine.sh"
fi

[ $failures -eq 0 ] && echo "installation checked: all good" && exit 0
echo "$failures check(s) failed"
exit 1
