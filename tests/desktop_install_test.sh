#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop reads
# from it: the program runs against the library installed in its private
# folder, the manual page formats cleanly, the launcher, metainfo and file
# type pass their validators, the metainfo describes this version, and the
# file type recognises an SPC file by name and by content.
#   desktop_install_test.sh BUILD_DIR APP_ID VERSION
# Exits 77 (skipped) when a validator is not installed: scripts/setup --test
# installs them.
set -euo pipefail
build=$1
app_id=$2
version=$3

for tool in desktop-file-validate appstreamcli update-mime-database; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/setup --test installs it)"
    exit 77
  fi
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

share=$prefix/share
desktop=$share/applications/$app_id.desktop
metainfo=$share/metainfo/$app_id.metainfo.xml
icon=$share/icons/hicolor/scalable/apps/$app_id.svg
mime=$share/mime/packages/$app_id.xml
for file in "$prefix/bin/quorlin" "$desktop" "$metainfo" "$icon" "$mime"; do
  [ -f "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
[ "$failures" -eq 0 ] || exit 1

# The installed program resolves libopenspc inside the prefix, not in the
# build folder it was linked in, and in Quorlin's own folder, off the
# system's library path.
library=$(ldd "$prefix/bin/quorlin" | awk '$1 ~ /^libopenspc/ { print $3 }')
[ -n "$library" ] && library=$(realpath "$library")
case "$library" in
  "$prefix"/lib*/quorlin/libopenspc.so) ;;
  *) fail "bin/quorlin finds libopenspc at '${library:-nowhere}', not in <prefix>/lib/quorlin" ;;
esac

# The manual page is installed and man formats it without a warning.
manual=$share/man/man1/quorlin.1
if [ ! -f "$manual" ]; then
  fail "not installed: share/man/man1/quorlin.1"
elif command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports problems in quorlin.1: $warnings"
fi

desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -q "^Exec=quorlin %f$" "$desktop" || fail "the launcher does not run quorlin with a file"
grep -q "^MimeType=audio/x-spc;$" "$desktop" || fail "the launcher does not offer to open audio/x-spc"
grep -q "^Icon=$app_id$" "$desktop" || fail "the launcher's icon is not $app_id"

appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo's id is not $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app_id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "the metainfo has no <release> entry for version $version"

if command -v xmllint >/dev/null; then
  xmllint --noout "$mime" "$icon" || fail "xmllint: the file type or the icon is not well-formed XML"
else
  echo "note: xmllint is not installed; the XML files were not checked for well-formedness"
fi

# Compile the file type into the prefix's own database, as a package's
# trigger would, and check what the database says.
XDG_DATA_DIRS="$share:/usr/share" update-mime-database "$share/mime" || fail "update-mime-database rejects $mime"
grep -q "^50:audio/x-spc:\*\.spc$" "$share/mime/globs2" || fail "no *.spc glob for audio/x-spc"
grep -aq "audio/x-spc" "$share/mime/magic" || fail "no magic for audio/x-spc"
grep -aq "SNES-SPC700 Sound File Data" "$share/mime/magic" || fail "the magic is not the SPC signature"

# GIO, as file managers use it: by content, whatever the name.
# *.spc is also a certificate bundle's glob: the content settles it.
if command -v gio >/dev/null; then
  for name in snapshot snapshot.spc; do
    sample=$prefix/$name
    { printf 'SNES-SPC700 Sound File Data v0.30'; head -c 66015 /dev/zero; } >"$sample"
    type=$(XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share:/usr/share" \
      gio info -a standard::content-type "$sample" 2>/dev/null |
      awk '/standard::content-type/ { print $2 }')
    [ "$type" = "audio/x-spc" ] || fail "GIO calls an SPC file named $name '$type', not audio/x-spc"
  done
fi

[ "$failures" -eq 0 ] && echo "All desktop files installed and valid." || exit 1
