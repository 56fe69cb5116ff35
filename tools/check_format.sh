#!/bin/sh
# Fails when a C++ source file of the tree differs from what .clang-format makes of it, and
# names the files. Usage: tools/check_format.sh [SOURCE_DIR]
set -eu
root=${1:-"$(dirname "$0")/.."}
cd "$root"
format=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$format" ]; then
    echo "clang-format is not installed (tools/install_packages.sh installs it)" >&2
    exit 1
fi
unformatted=$(find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print |
    sort | while read -r file; do
        "$format" --style=file "$file" | cmp -s - "$file" || echo "$file"
    done)
if [ -n "$unformatted" ]; then
    echo "not formatted per .clang-format (clang-format -i fixes them):" >&2
    echo "$unformatted" >&2
    exit 1
fi
