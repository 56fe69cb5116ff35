#!/usr/bin/env bash
# The manual pages stay in step with the programs: each page names exactly the options its
# program's --help texts name (the tool's and each verb's), has a section for every verb of
# the tool, and carries the program's version.
# Usage: manual_pages.sh KVANTIRA KVANTIRA_CLI MAN_DIR VERSION
set -euo pipefail

kvantira=$1
cli=$2
man=$3
version=$4
status=0

options() { grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }
# The roff source with its escaped hyphens as plain ones.
page() { sed 's/\\-/-/g' "$man/$1"; }
# Whether text has a line matching pattern (grep -q in a pipe could end the writer early).
has_line() { [[ -n "$(grep -e "$2" <<<"$1")" ]]; }

compare() {
    local name=$1 help=$2
    local text documented
    text=$(page "$name")
    documented=$(options <<<"$text")
    if [[ "$help" != "$documented" ]]; then
        echo "$name and --help name different options (< --help, > the page):" >&2
        diff <(echo "$help") <(echo "$documented") >&2 || true
        status=1
    fi
    if ! has_line "$text" "^\.TH .* \"Kvantira $version\""; then
        echo "$name does not carry version $version" >&2
        status=1
    fi
}

compare kvantira.1 "$("$kvantira" --help | options)"

verbs=$("$cli" --help | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p' | sort -u)
[[ -n "$verbs" ]] || { echo "no verbs in kvantira-cli --help" >&2; exit 1; }
cli_help=$("$cli" --help)
cli_page=$(page kvantira-cli.1)
for verb in $verbs; do
    cli_help+=$'\n'$("$cli" "$verb" --help)
    has_line "$cli_page" "^\.SS $verb\b" || {
        echo "kvantira-cli.1 has no section for $verb" >&2
        status=1
    }
done
compare kvantira-cli.1 "$(options <<<"$cli_help")"
exit $status
