#!/usr/bin/env bash
# Import and export benchmarks, all measured in one run on the same machine:
#  1. text-file import of a 1,000,000-line combined log into an empty document, as a
#     whole addrscope-cli process, against  awk '{print $1}' LOG | sort -u
#  2. the same from the gzip file against  zcat LOG.gz | awk '{print $1}' | sort -u
#  3. log import with the page-not-found and exploit conditions (throughput)
#  4. peak memory of the plain import against the log's size
#  5. raw whois export of 100,000 records with 3 KB whois texts (bench_export)
#  6. with BIG_LINES set (e.g. 10000000, about 2 GB): memory that does not grow with
#     the log. A log of BIG_LINES lines and one of BIG_LINES/100 lines, both from the
#     same 50,000 clients, plain and gzip: peak resident set of each import (the big
#     one at most 100 MB above the small one), and the big import's time against
#     awk|sort -u (ratio <= 0.5) and zcat|awk|sort -u (ratio <= 0.6). Both logs are
#     deleted afterwards.
# Each timing is the best of RUNS runs (default 3), so a busy neighbour hurts less.
# IPV6_PERCENT=50 makes that share of the clients IPv6 in every generated log (the
# IPv6 target for the big import is a ratio <= 0.5 against awk|sort -u as well).
#
#   [IPV6_PERCENT=P] [BIG_LINES=N [ONLY_BIG=1]] bench/run_import.sh [BUILD_DIR=build] [WORK_DIR=/tmp/addrscope-bench-import]
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
v6=${IPV6_PERCENT:-0}
log=$work/access${IPV6_PERCENT:+-v6-$v6}.log
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

# ONLY_BIG=1 skips sections 1 to 5.
if [ -z "${ONLY_BIG:-}" ]; then
[ -s "$log" ] && [ -s "$log.gz" ] || "$build/bench/gen_weblog" "$log" 1000000 50000 "$v6"
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
printf 'peak memory, plain import  %.1f MB = %.2f x log size (document file %.1f MB; no longer grows with the log)\n' \
  "$(awk "BEGIN{print $peak_plain*1024/1e6}")" "$(awk "BEGIN{print $peak_plain*1024/$log_bytes}")" \
  "$(awk "BEGIN{print $records/1e6}")"
"$build/bench/bench_export" 100000 3072 "$work"
fi

[ -n "${BIG_LINES:-}" ] || exit 0

# --- 6. bounded memory: a log a hundred times larger needs no more memory
big=$work/big.log
small=$work/small.log
"$build/bench/gen_weblog" "$big" "$BIG_LINES" 50000 "$v6" >/dev/null
"$build/bench/gen_weblog" "$small" $((BIG_LINES / 100)) 50000 "$v6" >/dev/null
trap 'rm -f "$big" "$big.gz" "$small" "$small.gz"' EXIT

# peak_of CMD...: the peak resident set (KB) of one run.
peak_of() {
  rm -f "$work"/*.qdl
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
  read -r _ peak <"$work/time"
  echo "$peak"
}
p_small=$(peak_of "$cli" --settings "$settings" import "$work/small.qdl" "$small")
p_small_gz=$(peak_of "$cli" --settings "$settings" import "$work/small.qdl" "$small.gz")
t_big_awk=$(best_of sh -c "awk '{print \$1}' '$big' | sort -u")
t_big=$(best_of "$cli" --settings "$settings" import "$work/big.qdl" "$big")
p_big=$(cat "$work/peak")
t_big_zawk=$(best_of sh -c "zcat '$big.gz' | awk '{print \$1}' | sort -u")
t_big_gz=$(best_of "$cli" --settings "$settings" import "$work/big.qdl" "$big.gz")
p_big_gz=$(cat "$work/peak")

echo "big log: $BIG_LINES lines, $(awk "BEGIN{printf \"%.0f\", $(stat -c %s "$big")/1e6}") MB" \
  "(gzip $(awk "BEGIN{printf \"%.0f\", $(stat -c %s "$big.gz")/1e6}") MB);" \
  "small log: $((BIG_LINES / 100)) lines, $(awk "BEGIN{printf \"%.1f\", $(stat -c %s "$small")/1e6}") MB;" \
  "50,000 clients ($v6% IPv6); best of $runs"
printf 'peak memory plain  small %7.1f MB   big %7.1f MB   difference %6.1f MB (target <= 100)\n' \
  "$(awk "BEGIN{print $p_small*1024/1e6}")" "$(awk "BEGIN{print $p_big*1024/1e6}")" \
  "$(awk "BEGIN{print ($p_big-$p_small)*1024/1e6}")"
printf 'peak memory gzip   small %7.1f MB   big %7.1f MB   difference %6.1f MB (target <= 100)\n' \
  "$(awk "BEGIN{print $p_small_gz*1024/1e6}")" "$(awk "BEGIN{print $p_big_gz*1024/1e6}")" \
  "$(awk "BEGIN{print ($p_big_gz-$p_small_gz)*1024/1e6}")"
printf 'big plain import %7.2f s   awk|sort -u      %7.2f s   ratio %.2f (target <= 0.5)\n' \
  "$t_big" "$t_big_awk" "$(awk "BEGIN{print $t_big/$t_big_awk}")"
printf 'big gzip import  %7.2f s   zcat|awk|sort -u %7.2f s   ratio %.2f (target <= 0.6)\n' \
  "$t_big_gz" "$t_big_zawk" "$(awk "BEGIN{print $t_big_gz/$t_big_zawk}")"
