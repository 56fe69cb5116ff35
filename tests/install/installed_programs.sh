#!/usr/bin/env bash
# The installed program: installs the build tree into a staging root ("install", with cmake
# --install) or makes the Debian package and unpacks it there ("package", with cpack and
# dpkg-deb; lintian judges the package), then checks the installed layout and runs both
# installed programs on the shipped demo file, as a user whose files live in a per-user
# directory. Nothing may be written under the install prefix.
# Usage: installed_programs.sh install|package BUILD_DIR VERSION. Exits 77 (skipped) without
# Xvfb, xdotool, desktop-file-validate or update-mime-database.
set -euo pipefail

mode=$1
build=$2
version=$3
source "$(dirname "$0")/../support/scratch.sh" Xvfb xdotool desktop-file-validate update-mime-database
fail() { echo "FAILED: $*" >&2; exit 1; }

root=$work/root
case $mode in
install)
    cmake --install "$build" --prefix "$root/usr" >"$work/install.log" ||
        { cat "$work/install.log"; fail "cmake --install"; }
    ;;
package)
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(ls "$work"/package/kvantira_*.deb)
    control=$(dpkg-deb --field "$deb" Package Version Depends Recommends)
    echo "$control"
    [[ "$control" == *$'\n'"Version: $version"$'\n'* && "$control" == "Package: kvantira"$'\n'* ]] ||
        fail "package name or version"
    # The libraries the programs link and the display plugins Qt loads at run time.
    depends=$(sed -n 's/^Depends: //p' <<<"$control" | tr ',' '\n' | sed 's/^ *//; s/ .*//')
    for dependency in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 \
        libpugixml1v5 qt6-qpa-plugins; do
        grep -qxF "$dependency" <<<"$depends" || fail "Depends lacks $dependency"
    done
    dpkg-deb -x "$deb" "$root"
    if command -v lintian >/dev/null; then
        lintian --fail-on error,warning --suppress-tags dir-or-file-in-opt "$deb" ||
            fail "lintian found faults in the package"
    fi
    ;;
*)
    fail "mode must be install or package"
    ;;
esac

usr=$root/usr
for file in bin/kvantira bin/kvantira-cli share/kvantira/SPECTORS.DAT share/kvantira/Mirta.hlp \
    share/kvantira/demo.hst share/applications/kvantira.desktop \
    share/icons/hicolor/scalable/apps/kvantira.svg share/mime/packages/kvantira.xml \
    share/man/man1/kvantira.1.gz share/man/man1/kvantira-cli.1.gz \
    share/doc/kvantira/copyright share/doc/kvantira/changelog.gz; do
    [[ -f "$usr/$file" ]] || fail "$file is not installed"
done
desktop-file-validate "$usr/share/applications/kvantira.desktop" || fail "desktop entry"
# A file manager takes *.hst files, and files that begin with the magic, for the program's.
mkdir -p "$work/mime/packages"
cp "$usr/share/mime/packages/kvantira.xml" "$work/mime/packages/"
update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || { cat "$work/mime.log"; fail "MIME"; }
grep -q "application/x-kvantira-histograms:\*\.hst" "$work/mime/globs2" || fail "MIME glob"
grep -q "application/x-kvantira-histograms" "$work/mime/magic" || fail "MIME magic"
grep -q "^MimeType=application/x-kvantira-histograms;" \
    "$usr/share/applications/kvantira.desktop" || fail "the desktop entry's MIME type"

find "$root" -printf '%p %s %T@\n' | sort >"$work/before"

# A user with nothing yet: HOME and XDG_CONFIG_HOME of its own, no KVANTIRA_HOME.
unset KVANTIRA_HOME
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
user=$XDG_CONFIG_HOME/kvantira
demo=$usr/share/kvantira/demo.hst

[[ "$("$usr/bin/kvantira-cli" --version)" == "kvantira-cli $version" ]] || fail "cli --version"
[[ "$("$usr/bin/kvantira" --version)" == "kvantira $version" ]] || fail "kvantira --version"
[[ "$("$usr/bin/kvantira" --help)" == "usage: kvantira "* ]] || fail "kvantira --help"
"$usr/bin/kvantira-cli" info "$demo" >"$work/info.txt" || fail "cli info on the demo file"
grep -q "^ 1\. Cs-137 + Co-60" "$work/info.txt" || fail "the demo file's histograms are not listed"
"$usr/bin/kvantira-cli" search "$demo" --csv >"$work/search.csv" || fail "cli search"
[[ $(wc -l <"$work/search.csv") -gt 3 ]] || fail "no lines found in the demo spectrum"
# The default isotope database is the shipped one, provided in the user's directory.
cmp "$user/SPECTORS.DAT" "$usr/share/kvantira/SPECTORS.DAT" || fail "database not provided"
"$usr/bin/kvantira-cli" db list >"$work/db.txt" || fail "cli db list"
grep -q "^Cs-137" "$work/db.txt" || fail "the shipped database does not list Cs-137"

# The desktop program on a virtual display opens the demo file, then Ctrl+Q closes it, which
# saves its configuration: into the user's directory, naming the file it had open.
start_virtual_display
export QT_QPA_PLATFORM=xcb
"$usr/bin/kvantira" "$demo" >"$work/kvantira.log" 2>&1 &
program=$!
pids+=("$program")
window=
for _ in $(seq 600); do
    window=$(xdotool search --name "kvantira: demo.hst" 2>/dev/null | head -n 1 || true)
    [[ -n "$window" ]] && break
    kill -0 "$program" 2>/dev/null || { cat "$work/kvantira.log"; fail "kvantira ended"; }
    sleep 0.1
done
[[ -n "$window" ]] || fail "no window of the demo file"
[[ -f "$user/Mirta.hlp" ]] || fail "help file not provided"
for _ in $(seq 300); do
    xdotool windowfocus "$window" key ctrl+q 2>/dev/null || true
    kill -0 "$program" 2>/dev/null || break
    sleep 0.2
done
wait "$program" || fail "kvantira exited with status $?"
grep -qa "demo.hst" "$user/confadc.cnf" || fail "the configuration was not saved for the user"

find "$root" -printf '%p %s %T@\n' | sort >"$work/after"
diff "$work/before" "$work/after" || fail "files changed under the install prefix"
echo "installed programs work ($mode)"
