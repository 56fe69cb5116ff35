#!/usr/bin/env bash
# Two real copies of the desktop program on a virtual X display: an entry of the first copy's
# list dragged onto the second copy's window must be added to the second copy's list.
# Usage: two_copies_drag.sh KVANTIRA DEMO_FILE. Exits 77 (skipped) without Xvfb, xdotool or
# ImageMagick.
set -euo pipefail

program=$1
demo=$2
source "$(dirname "$0")/../support/scratch.sh" Xvfb xdotool import compare

# Each copy keeps its configuration beside its executable, so each runs from a folder of its own.
mkdir -p "$work/a" "$work/b" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$work/a/kvantira"
cp "$program" "$work/b/kvantira"

start_virtual_display
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb

# A loaded machine may take many seconds to start a copy; one that died is said at once.
window_named() {
    local name=$1 pid=$2 log=$3
    for _ in $(seq 400); do
        local id
        id=$(xdotool search --name "$name" 2>/dev/null | head -n 1 || true)
        if [[ -n "$id" ]]; then echo "$id"; return; fi
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "the copy that should show '$name' ended:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "no window named '$name'" >&2
    exit 1
}

"$work/a/kvantira" "$demo" >"$work/a.log" 2>&1 &
pids+=($!)
source_window=$(window_named "kvantira: demo.hst" $! "$work/a.log")
"$work/b/kvantira" >"$work/b.log" 2>&1 &
pids+=($!)
target_window=$(window_named "kvantira: noname.hst" $! "$work/b.log")

# Without a window manager the windows sit where they are put, at the size they are given: the
# source at the left (its list rows start about 200 pixels down), the target beside it.
for window in "$source_window" "$target_window"; do
    xdotool windowsize "$window" 600 400
done
xdotool windowmove "$source_window" 0 0 windowmove "$target_window" 640 0
sleep 1
import -window "$target_window" "$work/before.png"

xdotool mousemove 80 215 mousedown 1
for x in 90 120 200 400 700 850 900; do
    xdotool mousemove "$x" 260
    sleep 0.15
done
xdotool mousemove 905 262
sleep 0.3
xdotool mouseup 1

# The added entry shows a row in the list and a curve in the plot: thousands of pixels change.
# The target repaints when it gets to it, so its window is looked at until it does (or 20 s).
for _ in $(seq 40); do
    sleep 0.5
    import -window "$target_window" "$work/after.png"
    changed=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
    [[ "$changed" =~ ^[0-9]+$ ]] && ((changed >= 2000)) && break
done
echo "pixels changed in the target window: $changed"
if xdotool search --name "Плохие новости" >/dev/null 2>&1; then
    echo "the target copy refused the histogram"
    exit 1
fi
if ! [[ "$changed" =~ ^[0-9]+$ ]] || ((changed < 2000)); then
    echo "the dropped entry did not reach the target copy"
    cat "$work/a.log" "$work/b.log"
    exit 1
fi
