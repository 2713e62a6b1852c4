#!/bin/sh
# Runs the networking tests RUNS times in each of the given build folders, each
# run through CTest as `make test` runs it, and counts the runs that fail. The
# output of a failed run is kept as <build>/stress-failure-<n>.log. Exits 1 when
# any run failed.
#   tests/net/stress.sh RUNS BUILD...
runs=$1
shift
status=0
for build in "$@"; do
    failed=0
    i=1
    while [ "$i" -le "$runs" ]; do
        if ! ctest --test-dir "$build" -L net --output-on-failure >"$build/stress-run.log" 2>&1; then
            failed=$((failed + 1))
            mv "$build/stress-run.log" "$build/stress-failure-$i.log"
        fi
        i=$((i + 1))
    done
    rm -f "$build/stress-run.log"
    echo "stress: $build: $failed of $runs runs failed"
    [ "$failed" -eq 0 ] || status=1
done
exit $status
