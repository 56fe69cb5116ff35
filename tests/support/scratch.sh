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

# Starts Xvfb and exports DISPLAY once it takes connections, which on a loaded machine can take
# many seconds. Without -noreset the server resets whenever its last client leaves, and a
# program connecting during the reset (after a probe by xdotool, say) fails to start.
start_virtual_display() {
    Xvfb -displayfd 3 -noreset -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 600); do [[ -s "$work/display" ]] && break; sleep 0.1; done
    [[ -s "$work/display" ]] || { echo "failed: no virtual display within a minute"; exit 1; }
    export DISPLAY=":$(cat "$work/display")"
}
