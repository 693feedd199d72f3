#!/usr/bin/env bash
# Import and export benchmarks, all measured in one run on the same machine:
#  1. text-file import of a 1,000,000-line combined log into an empty document, as a
#     whole addrscope-cli process, against  awk '{print $1}' LOG | sort -u
#  2. the same from the gzip file against  zcat LOG.gz | awk '{print $1}' | sort -u
#  3. log import with the page-not-found and exploit conditions (throughput)
#  4. peak memory of the plain import against the log's size
#  5. raw whois export of 100,000 records with 3 KB whois texts (bench_export)
# Each timing is the best of RUNS runs (default 3), so a busy neighbour hurts less.
#
#   bench/run_import.sh [BUILD_DIR=build] [WORK_DIR=/tmp/addrscope-bench-import]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
work=${2:-/tmp/addrscope-bench-import}
runs=${RUNS:-3}
cli=$build/src/cli/addrscope-cli
for exe in "$cli" "$build/bench/gen_weblog" "$build/bench/bench_export"; do
  [ -x "$exe" ] || { echo "missing $exe: build the project in $build first" >&2; exit 1; }
done
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (package time)" >&2; exit 1; }

mkdir -p "$work"
log=$work/access.log
[ -s "$log" ] && [ -s "$log.gz" ] || "$build/bench/gen_weblog" "$log"
settings=$work/settings.ini
: >"$settings"

# best_of CMD...: prints the best elapsed seconds over the runs; the last run's
# peak resident set (KB) goes to $work/peak.
best_of() {
  local best=""
  for _ in $(seq "$runs"); do
    rm -f "$work"/*.qdl
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
    read -r secs peak <"$work/time"
    echo "$peak" >"$work/peak"
    if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; fi
  done
  echo "$best"
}

log_bytes=$(stat -c %s "$log")
log_mb=$(awk "BEGIN{printf \"%.1f\", $log_bytes/1e6}")
lines=$(wc -l <"$log")

t_awk=$(best_of sh -c "awk '{print \$1}' '$log' | sort -u")
t_plain=$(best_of "$cli" --settings "$settings" import "$work/plain.qdl" "$log")
peak_plain=$(cat "$work/peak")
t_zawk=$(best_of sh -c "zcat '$log.gz' | awk '{print \$1}' | sort -u")
t_gzip=$(best_of "$cli" --settings "$settings" import "$work/gzip.qdl" "$log.gz")
t_cond=$(best_of "$cli" --settings "$settings" import "$work/cond.qdl" "$log" --not-found --exploit)

# What the plain import keeps: the document it wrote stands for the records.
rm -f "$work/size.qdl"
"$cli" --settings "$settings" import "$work/size.qdl" "$log" >/dev/null
records=$(stat -c %s "$work/size.qdl")

echo "log: $log ($lines lines, $log_mb MB; gzip $(stat -c %s "$log.gz") bytes), best of $runs"
printf 'plain text import   %6.2f s   awk|sort -u      %6.2f s   ratio %.2f (target <= 1.0)\n' \
  "$t_plain" "$t_awk" "$(awk "BEGIN{print $t_plain/$t_awk}")"
printf 'gzip text import    %6.2f s   zcat|awk|sort -u %6.2f s   ratio %.2f (target <= 1.0)\n' \
  "$t_gzip" "$t_zawk" "$(awk "BEGIN{print $t_gzip/$t_zawk}")"
printf 'log import 404+exploit %6.2f s   %.0f MB/s   %.0f lines/s\n' \
  "$t_cond" "$(awk "BEGIN{print $log_bytes/1e6/$t_cond}")" "$(awk "BEGIN{print $lines/$t_cond}")"
printf 'peak memory, plain import  %.1f MB = %.2f x log size (document file %.1f MB; target <= 1.3 x log + records)\n' \
  "$(awk "BEGIN{print $peak_plain*1024/1e6}")" "$(awk "BEGIN{print $peak_plain*1024/$log_bytes}")" \
  "$(awk "BEGIN{print $records/1e6}")"
"$build/bench/bench_export" 100000 3072 "$work"
