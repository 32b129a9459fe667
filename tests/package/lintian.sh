#!/bin/sh
# Builds the Debian package of the build tree BUILD into a scratch folder and
# runs lintian on it: any error or warning fails. Skipped (status 77) when
# lintian or dpkg-deb is not installed.
set -eu
build="$1"
for tool in lintian dpkg-deb cpack; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed: skipped"; exit 77; }
done

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; exit 1; }
deb="$(ls "$out"/*.deb)"
# The manual pages are there and read without a warning of man.
dpkg-deb -c "$deb" | grep -q 'usr/share/man/man1/sysforge-cli.1.gz' ||
  { echo "no manual page sysforge-cli.1.gz in the package" >&2; exit 1; }
lintian --fail-on error,warning --tag-display-limit 0 "$deb"
