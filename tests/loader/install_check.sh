#!/usr/bin/env bash
# The install of a build folder: `cmake --install BUILD --prefix DIR` puts the
# bundle at DIR/Kalthorne.ofx.bundle/Contents/Linux-x86-64/Kalthorne.ofx,
# without debug sections and still loadable; without --prefix it goes to the
# folder the build was configured with, /usr/OFX/Plugins unless the build set
# one of its own. Every install goes under a DESTDIR in WORK_DIR, so nothing
# lands in the system even when a prefix is not honoured.
#
#   install_check.sh BUILD WORK_DIR
set -euo pipefail
build="$1" work="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
inside=Kalthorne.ofx.bundle/Contents/Linux-x86-64/Kalthorne.ofx
status=0
fail() {
  echo "FAILED: $*"
  status=1
}

rm -rf "$work"
DESTDIR="$work/with-prefix" cmake --install "$build" --prefix /opt/OFX/Plugins
installed="$work/with-prefix/opt/OFX/Plugins/$inside"
if [ ! -x "$installed" ]; then
  fail "--prefix /opt/OFX/Plugins: no executable $installed"
else
  ! readelf -S -W "$installed" | grep -F ' .debug' || fail "$installed keeps debug sections"
  "$here/bundle_interface_check.sh" "$installed" || status=1
fi

configured="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
if grep -B1 '^CMAKE_INSTALL_PREFIX:PATH=' "$build/CMakeCache.txt" | grep -q '^//Install prefix: the folder the bundle goes in'; then
  [ "$configured" = /usr/OFX/Plugins ] || fail "the default install prefix is $configured"
fi
DESTDIR="$work/without-prefix" cmake --install "$build"
[ -x "$work/without-prefix$configured/$inside" ] || fail "without --prefix, nothing at $configured/$inside"
exit "$status"
