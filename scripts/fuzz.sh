#!/bin/sh
# Builds the fuzz preset (clang, build-fuzz/) and runs every fuzz target for SECONDS (default 60),
# one after another, each first over its committed regression inputs (fuzz/regressions/TARGET/),
# then over its corpus (build-fuzz/corpus/TARGET/, seeded by fuzz/make_seeds.py). Exits non-zero
# on any finding; reproducers are kept in build-fuzz/findings/TARGET/. FUZZ_TARGETS may name a
# subset ("xml scene").
#
# Limits: one allocation above 1 GiB, 2.5 GiB of resident memory (AddressSanitizer's own included)
# or 20 seconds on one input count as findings.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=${FUZZ_TARGETS:-"package packed xml model function image music scene lsp"}

cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j2
rm -rf build-fuzz/seeds
python3 fuzz/make_seeds.py build-fuzz/seeds

status=0
summary=""
for target in $targets; do
    binary=build-fuzz/fuzz/fuzz_$target
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    mkdir -p "$corpus" "$findings" build-fuzz/seeds/$target
    limits="-rss_limit_mb=2560 -malloc_limit_mb=1024 -timeout=20"
    if [ -d fuzz/regressions/$target ] && [ -n "$(ls fuzz/regressions/$target)" ]; then
        # shellcheck disable=SC2086
        if ! "$binary" $limits -artifact_prefix="$findings/" fuzz/regressions/$target/* >"$findings/regressions.log" 2>&1; then
            echo "fuzz: $target fails on a committed regression input (see $findings/regressions.log)"
            status=1
        fi
    fi
    log=build-fuzz/fuzz_$target.log
    # shellcheck disable=SC2086
    if "$binary" $limits -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" build-fuzz/seeds/$target >"$log" 2>&1; then
        result="clean"
    else
        result="FINDING (reproducer in $findings/, log in $log)"
        status=1
    fi
    stats=$(grep -oE "DONE +cov: [0-9]+ ft: [0-9]+" "$log" | tail -1 | sed "s/DONE *//")
    execs=$(grep -E "stat::number_of_executed_units" "$log" | awk '{print $2}')
    line="fuzz_$target: ${execs:-?} executions; ${stats:-no final statistics}; $result"
    echo "$line"
    summary="$summary$line
"
done
printf '%s' "$summary" >build-fuzz/summary.txt
exit $status
