#!/bin/bash
# The window's CPU beside its references, measured in turns so that every figure has its
# reference from the same minutes: for each repetition, each window_cpu build given runs once on
# the chosen platform, then the event loop's floor (the first build's "floor" mode). One line
# per measurement: idle and run CPU (cputime, % of one core), the window thread's share of the
# run, its wake-ups a second, the X server's CPU during the run (xcb only) and the load.
#
#   bench/window_cpu_side_by_side.sh [reps=3] [run-seconds=20] [idle-seconds=10] \
#       [platform=xcb] build/release/bench/window_cpu [other/window_cpu ...]
#
# On xcb each measurement runs under its own xvfb-run (packages xvfb, xauth).
set -euo pipefail

reps=${1:-3}
run=${2:-20}
idle=${3:-10}
platform=${4:-xcb}
shift $(($# < 4 ? $# : 4))
if [ $# -eq 0 ]; then
    set -- build/release/bench/window_cpu
fi

measure() { # binary [mode]
    if [ "$platform" = xcb ]; then
        QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1024x768x24' "$@" 2>/dev/null
    else
        QT_QPA_PLATFORM=offscreen "$@" 2>/dev/null
    fi
}

field() { # phase name: the number after "name" on the phase's line
    awk -v phase="$1" -v name="$2" '$1 == phase { for (k = 1; k < NF; k++) if ($k == name) { print $(k + 1); exit } }'
}

report() { # label output
    local out=$2
    local thread
    thread=$(awk '/^run/ { run = 1; next } run && $1 == "thread" && $2 == "window" { print $3; exit }' <<<"$out")
    printf '%-40s idle %6s %%   run %6s %%   window thread %6s %%   wake-ups %6s /s   X server %6s %%   %s\n' \
        "$1" "$(field idle cputime <<<"$out")" "$(field run cputime <<<"$out")" "${thread:--}" \
        "$(field run wake-ups <<<"$out")" "$(field run server <<<"$out" | grep . || echo -)" \
        "$(cut -d' ' -f1-3 /proc/loadavg)"
}

echo "platform $platform, $reps repetitions, run $run s, idle $idle s"
for rep in $(seq "$reps"); do
    for binary in "$@"; do
        report "$rep $binary" "$(measure "$binary" "$run" "$idle")"
    done
    report "$rep floor" "$(measure "$1" "$run" "$idle" floor)"
done
