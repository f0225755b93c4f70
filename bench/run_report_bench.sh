#!/usr/bin/env bash
# run_report_bench.sh [BENCH_DIR]: the outbreak report (purgekit-report, native build) against
# the floor of what it reads, on a generated results tree of MACHINES (default 100,000) machine
# folders of about TOTAL_BYTES (default 1 GB) in all (make_results_tree.py: the cleaner's logs,
# the launcher's records and transcripts, sweep results), made in a temporary folder and removed
# afterwards:
#   floor    `find TREE -type f -print0 | xargs -0 cat >/dev/null`: the walk and every byte read
#   report   purgekit-report -o OUT TREE
# warm cache, medians of RUNS (default 5) interleaved runs; then the report's peak resident
# memory on the whole tree and on its first 1,000 machines (the fixed part), and what the
# machines' summaries take. Prints the figures and both ratios (measure_report.py).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bench=${1:-$root/build/bench-report}
machines=${MACHINES:-100000}
total=${TOTAL_BYTES:-1000000000}
runs=${RUNS:-5}

"$root/scripts/deps.sh" cmake python3 time
"$root/scripts/build_report_native.sh" "$bench/report-native" >/dev/null
report=$bench/report-native/purgekit-report

tree=$(mktemp -d "${TMPDIR:-/tmp}/report-bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT
echo "making $machines machine folders of about $total bytes under $tree"
python3 "$here/make_results_tree.py" "$tree/results" "$machines" "$total"
mkdir "$tree/small"
(cd "$tree/results" && ls | head -n 1000 | xargs -I{} cp -al {} "$tree/small/")
python3 "$here/measure_report.py" "$runs" "$report" "$tree/results" "$tree/small" "$tree/out"
