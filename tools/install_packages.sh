#!/bin/sh
# Installs the Debian 12 packages Kvantira builds, tests, packages and runs with, and the Russian
# locale the number-formatting tests run under; does nothing when all of it is present already.
set -eu

packages="cmake ninja-build g++ ccache qt6-base-dev libgtest-dev googletest libbenchmark-dev
nlohmann-json3-dev libpugixml-dev qt6-translations-l10n xvfb xauth xdotool imagemagick poppler-utils fonts-dejavu-core locales
clang-format clang-tidy dpkg-dev file lintian desktop-file-utils shared-mime-info"

as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    $as_root apt-get update
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $missing
fi

if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    $as_root sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    $as_root locale-gen
fi
