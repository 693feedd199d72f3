#!/bin/sh
# Builds or removes the routed topology the ICMP namespace test probes:
#
#   client 10.99.1.2 -- 10.99.1.1 r1 10.99.2.1 -- 10.99.2.2 r2 10.99.3.1 --
#     10.99.3.2 r3 10.99.4.1 -- 10.99.4.2 target
#
# and the same for IPv6, 2001:db8:N::1 and 2001:db8:N::2 on link N.
#
# r2 forwards but never sends time-exceeded messages: its answers to the client
# have no route (only forwarded packets, by policy rule, do). r3 has an
# unreachable route for 10.99.5.0/24 and 2001:db8:5::/64, and drops
# 2001:db8:6::/64 without a word. Nothing links the namespaces to the host, and no
# namespace has a route out of 10.99.0.0/16 and 2001:db8::/32.
#
#   icmp-netns.sh up PREFIX     create PREFIX-client ... PREFIX-target
#   icmp-netns.sh down PREFIX   remove them again (safe to repeat)
set -eu
cmd=$1
P=$2
nodes="client r1 r2 r3 target"

down() {
    for n in $nodes; do ip netns del "$P-$n" 2>/dev/null || true; done
    rm -rf "/etc/netns/$P-client"
    rmdir /etc/netns 2>/dev/null || true
}

if [ "$cmd" = down ]; then
    down
    exit 0
fi
[ "$cmd" = up ] || { echo "usage: $0 up|down PREFIX" >&2; exit 2; }
trap 'down' EXIT

for n in $nodes; do ip netns add "$P-$n"; ip -n "$P-$n" link set lo up; done
link() {
    ip link add "v-$2" netns "$P-$1" type veth peer name "v-$1" netns "$P-$2"
    ip -n "$P-$1" addr add "$3/24" dev "v-$2"; ip -n "$P-$1" link set "v-$2" up
    ip -n "$P-$2" addr add "$4/24" dev "v-$1"; ip -n "$P-$2" link set "v-$1" up
    # No duplicate address detection: a tentative address would fail the first probes.
    ip -n "$P-$1" -6 addr add "$5/64" dev "v-$2" nodad
    ip -n "$P-$2" -6 addr add "$6/64" dev "v-$1" nodad
}
link client r1 10.99.1.2 10.99.1.1 2001:db8:1::2 2001:db8:1::1
link r1 r2 10.99.2.1 10.99.2.2 2001:db8:2::1 2001:db8:2::2
link r2 r3 10.99.3.1 10.99.3.2 2001:db8:3::1 2001:db8:3::2
link r3 target 10.99.4.1 10.99.4.2 2001:db8:4::1 2001:db8:4::2

ip -n "$P-client" route add 10.99.0.0/16 via 10.99.1.1
ip -n "$P-r1" route add 10.99.0.0/16 via 10.99.2.2
ip -n "$P-r2" route add 10.99.4.0/24 via 10.99.3.2
ip -n "$P-r2" route add 10.99.5.0/24 via 10.99.3.2
ip -n "$P-r2" rule add iif v-r3 table 100 pref 100
ip -n "$P-r2" route add 10.99.1.0/24 via 10.99.2.1 table 100
ip -n "$P-r3" route add 10.99.0.0/16 via 10.99.3.1
ip -n "$P-r3" route add unreachable 10.99.5.0/24
ip -n "$P-target" route add 10.99.0.0/16 via 10.99.4.1

ip -n "$P-client" -6 route add 2001:db8::/32 via 2001:db8:1::1
ip -n "$P-r1" -6 route add 2001:db8::/32 via 2001:db8:2::2
for net in 4 5 6; do ip -n "$P-r2" -6 route add "2001:db8:$net::/64" via 2001:db8:3::2; done
ip -n "$P-r2" -6 rule add iif v-r3 table 100 pref 100
ip -n "$P-r2" -6 route add 2001:db8:1::/64 via 2001:db8:2::1 table 100
ip -n "$P-r3" -6 route add 2001:db8::/32 via 2001:db8:3::1
ip -n "$P-r3" -6 route add unreachable 2001:db8:5::/64
ip -n "$P-r3" -6 route add blackhole 2001:db8:6::/64
ip -n "$P-target" -6 route add 2001:db8::/32 via 2001:db8:4::1

for n in r1 r2 r3 target; do
    ip netns exec "$P-$n" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0 \
        net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0 \
        net.ipv6.conf.all.forwarding=1 net.ipv6.icmp.ratelimit=0
done
ip netns exec "$P-client" sysctl -qw net.ipv4.ping_group_range="0 2147483647"

# Hop names for the client only; r3 has none, and with a name server nobody
# listens on, unknown addresses fail at once.
mkdir -p "/etc/netns/$P-client"
printf '%s\n' '127.0.0.1 localhost' '10.99.1.1 r1-west.pt.test' '10.99.2.2 r2-core.pt.test' \
    '10.99.4.2 target.pt.test' '::1 ip6-localhost' '2001:db8:1::1 r1-west6.pt.test' \
    '2001:db8:2::2 r2-core6.pt.test' '2001:db8:4::2 target6.pt.test' >"/etc/netns/$P-client/hosts"
echo 'nameserver 127.0.0.1' >"/etc/netns/$P-client/resolv.conf"
trap - EXIT
