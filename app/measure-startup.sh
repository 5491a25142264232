#!/usr/bin/env bash
# Measures the time from launching Halvorn to its first painted window, over
# several runs, on the display in $DISPLAY (start Xvfb for a headless one).
# The runs keep their settings and recent files in a folder of their own, so
# the user's list is never touched.
# Usage: app/measure-startup.sh BUILD_DIR [DOCUMENT] [RUNS]
set -euo pipefail
build=${1:?usage: measure-startup.sh BUILD_DIR [DOCUMENT] [RUNS]}
document=${2:-}
runs=${3:-10}
log=$(mktemp)
settings=$(mktemp -d)
trap 'rm -rf "$log" "$settings"' EXIT

times=()
for _ in $(seq "$runs"); do
    start=$(date +%s%3N)
    XDG_CONFIG_HOME="$settings" HALVORN_REPORT_FIRST_PAINT=1 "$build/app/halvorn" ${document:+"$document"} 2>"$log" || true
    painted=$(awk '/first-paint-epoch-ms/ { print $2 }' "$log")
    if [ -z "$painted" ]; then
        echo "measure-startup: no first paint reported" >&2
        cat "$log" >&2
        exit 1
    fi
    times+=($((painted - start)))
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "first paint (ms), $runs runs: $(echo $sorted)"
echo "median: $(echo "$sorted" | sed -n "$(((runs + 1) / 2))p") ms"
