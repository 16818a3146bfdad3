#!/bin/sh
# Installs what is missing, builds, and runs the player on the sample demo: its launcher opens,
# and the demo starts when "Start demo" is pressed.
# Until the sample demo exists it plays the test demo that the build packs (build/testdemo).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
root=$(pwd)
if [ -f build/sample/sample.dpk ]; then
    rundir=build/sample
else
    rundir=build/run-testdemo
    mkdir -p "$rundir"
    cp build/testdemo/testdemo.dpk "$rundir/"
fi
cd "$rundir"
status=0
"$root/build/brightvale" "$@" || status=$?
echo "brightvale exited with status $status; its log ($rundir/demo.log):"
cat demo.log 2>/dev/null || true
exit $status
