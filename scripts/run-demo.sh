#!/bin/sh
# Installs what is missing, builds, and runs the player on the sample demo (build/sample, where
# the build puts sample.dpk and music.ogg): its launcher opens, and the demo starts when
# "Start demo" is pressed.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
root=$(pwd)
rundir=build/sample
cd "$rundir"
status=0
"$root/build/brightvale" "$@" || status=$?
echo "brightvale exited with status $status; its log ($rundir/demo.log):"
cat demo.log 2>/dev/null || true
exit $status
