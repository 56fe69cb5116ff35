# Sourced by the test scripts: exits 77 (skipped) unless every tool named is there, makes the
# scratch directory $work, and when the script ends, ends the processes whose ids it put in
# pids and removes $work.
# Usage: source scratch.sh TOOL...

for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill -9 "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
