#!/bin/sh
# Installs the Debian 12 packages Kvantira builds, tests and runs with; does nothing when they
# are all present already.
set -eu

packages="cmake ninja-build g++ ccache qt6-base-dev libgtest-dev googletest libbenchmark-dev
nlohmann-json3-dev xvfb xauth xdotool imagemagick poppler-utils fonts-dejavu-core"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"
echo "installing:$missing"
$as_root apt-get update
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $missing
