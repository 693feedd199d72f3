#!/usr/bin/env bash
# Starts the real addrscope under a virtual X server, looks one address up through
# the quick lookup bar against a loopback whois server that replays a real
# ARIN -> RIPE referral (ARIN's answer for RIPE's 2.0.0.0/8 and RIPE's answer for
# the address, so that each range holds it), and saves a screenshot of the window, the list shown in
# MODE (binary, hex, dotted, decimal or details; default: as the settings say, dotted).
# usage: smoke_test.sh ADDRSCOPE WHOISD TEST_DATA_DIR SCREENSHOT.png [MODE]
set -euo pipefail
addrscope=$1 whoisd=$2 data=$3 shot=$4 mode=${5:-}
address=2.18.111.79

if ! command -v xvfb-run >/dev/null; then
  echo "SKIP: xvfb-run is not installed (run scripts/setup.sh)"
  exit 77
fi

work=$(mktemp -d)
whoisd_pid=
cleanup() {
  [ -n "$whoisd_pid" ] && kill "$whoisd_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/arin" "$work/ripe" "$work/home"
cp "$data/whois/arin/larsonzh-2026-referral-ripe-noscheme-2.0.0.1.txt" "$work/arin/$address"
cp "$data/whois/ripe/lab5-akamai-eu-role-only-2.18.111.79.txt" "$work/ripe/$address"

"$whoisd" --serve 127.0.0.2="$work/arin" --serve 127.0.0.3="$work/ripe" >"$work/port" &
whoisd_pid=$!
for _ in $(seq 50); do
  [ -s "$work/port" ] && break
  sleep 0.1
done
port=$(grep -o '[0-9]\+' "$work/port" | tail -1)
[ -n "$port" ] || { echo "FAIL: the loopback whois server did not start"; exit 1; }

cat >"$work/settings.ini" <<INI
[Settings]
IP%20Whois%20Interval=0
Enable%20Auto%20DocLoad=0

[Whois%20Servers]
ARIN=127.0.0.2
RIPE=127.0.0.3
APNIC=127.0.0.4
LACNIC=127.0.0.5
AUNIC=127.0.0.6
RWhois%20A=127.0.0.7
RWhois%20B=127.0.0.8
AFRINIC=127.0.0.9
Whois%20Port=$port
RWhois%20Port=$port
Connect%20Timeout=2000
Idle%20Timeout=2000
INI

rm -f "$shot"
# Under the X server Qt talks to D-Bus, whose library keeps a buffer for the
# process's life; a sanitizer build would call that a leak.
printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Test runners set the offscreen platform; this run is meant for the X server.
unset QT_QPA_PLATFORM
HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
  xvfb-run -a -s "-screen 0 1024x768x24" \
  "$addrscope" --settings "$work/settings.ini" --lookup "$address" --screenshot "$shot" \
  --quit-after-result --lookup-timeout 60 ${mode:+--display-mode "$mode"}

[ -s "$shot" ] || { echo "FAIL: no screenshot at $shot"; exit 1; }
[ ! -e "$work/home/data/addrscope/addrscope.run" ] || { echo "FAIL: the run marker was left behind"; exit 1; }
echo "screenshot: $shot"
