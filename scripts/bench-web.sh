#!/bin/sh
# The sample demo's benchmarks natively and in the browser, one run each: prints both times and
# their ratio (bench/web/bench_web.py; arguments go to it, e.g. --json). Builds only what is
# missing: build/ (as Release, the web build's level too) and build-web/. An existing build/ is
# used as it is; the report names its build type.
set -eu
cd "$(dirname "$0")/.."
if [ ! -x build/bench/bv_bench ] || [ ! -f build/sample/sample.dpk ]; then
    BUILD_TYPE=Release scripts/build.sh
fi
if [ ! -f build-web/bench.html ]; then
    scripts/build-web.sh
fi
exec python3 bench/web/bench_web.py "$@"
