#!/usr/bin/env bash
# Checks a Debian package of the program as Debian would, then installs it,
# runs it and removes it again:
#   - lintian finds no error and no warning;
#   - its AppStream metadata and desktop entry validate, offline;
#   - apt-get installs it with its dependencies;
#   - the installed tessaly --version names the package's version;
#   - the window starts under xvfb-run and is still there two seconds later;
#   - apt-get removes it and nothing of it is left.
#   scripts/check-package.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
cd "$(dirname "$0")/.."

scripts/install-packages.sh lintian appstream desktop-file-utils xvfb xauth

step() { echo "== $*"; }
version=$(dpkg-deb -f "$deb" Version)
name=$(dpkg-deb -f "$deb" Package)

step "lintian"
lintian --fail-on error,warning --info "$deb"

step "AppStream metadata and desktop entry"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
shopt -s nullglob
metainfo=("$tree"/usr/share/metainfo/*.metainfo.xml)
desktop=("$tree"/usr/share/applications/*.desktop)
[ ${#metainfo[@]} -eq 1 ] && [ ${#desktop[@]} -eq 1 ] || {
  echo "want one metainfo file and one desktop entry, found ${#metainfo[@]} and ${#desktop[@]}"
  exit 1
}
appstreamcli validate --no-net --pedantic "${metainfo[@]}"
appstreamcli validate-tree --no-net "$tree"
hints=$(desktop-file-validate "${desktop[@]}" 2>&1) || { echo "$hints"; exit 1; }
[ -z "$hints" ] || { echo "desktop-file-validate: $hints"; exit 1; }
echo "clean"

step "install"
trap 'rm -rf "$tree"; DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$name" >/dev/null 2>&1 || true' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
[ "$(command -v tessaly)" = /usr/bin/tessaly ] || { echo "tessaly is not /usr/bin/tessaly"; exit 1; }

step "tessaly --version"
said=$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/tessaly --version)
echo "$said"
[ "$said" = "tessaly $version" ] || { echo "want: tessaly $version"; exit 1; }

step "the window under xvfb-run"
xvfb-run -a env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash -c '
  /usr/bin/tessaly &
  pid=$!
  sleep 2
  if kill -0 "$pid" 2>/dev/null; then
    echo "still running after 2 s"
    kill "$pid"
    wait "$pid" || true
  else
    wait "$pid"
    echo "ended with status $? within 2 s"
    exit 1
  fi'

step "remove"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq "$name" >/dev/null
if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "ok installed"; then
  echo "$name is still installed"
  exit 1
fi
[ ! -e /usr/bin/tessaly ] || { echo "/usr/bin/tessaly is still there"; exit 1; }
echo "removed"
echo "package checks passed: $(basename "$deb")"
