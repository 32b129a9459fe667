#!/bin/sh
# Validates the desktop entry, the AppStream metadata and the MIME type with
# the freedesktop tools (each check is skipped when its tool is missing), then
# installs into a scratch prefix and checks that everything lands in place.
set -eu
data="$1"
build="$2"
id=io.sysforge.Sysforge

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$data/$id.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$data/$id.metainfo.xml"
fi
if command -v xmllint >/dev/null; then
  xmllint --noout "$data/$id.mime.xml"
fi

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/sysforge bin/sysforge-cli share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/mime/packages/$id.xml share/icons/hicolor/48x48/apps/$id.png \
         share/icons/hicolor/256x256/apps/$id.png share/icons/hicolor/scalable/apps/$id.svg; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done

# A MIME database built from our type knows it, with its magic.
if command -v update-mime-database >/dev/null; then
  mkdir -p "$prefix/mime/packages"
  cp "$data/$id.mime.xml" "$prefix/mime/packages/"
  update-mime-database "$prefix/mime" >/dev/null
  grep -q "application/x-sysforge-driver-source" "$prefix/mime/types"
  grep -aq "DEV_SRCE" "$prefix/mime/magic"
fi
echo "desktop files valid and installed"
