#!/usr/bin/env bash
# Runs the test suite, the bench, the soak run, the ladder and the hostile-peer
# measurements inside a network namespace made to look like a machine on a local
# network (an Ethernet-like interface with an address, a broadcast address and a
# default route), and counts the packets that leave through that interface: none
# may. As a control it then starts one game with announcing on, which is counted.
# Needs root and a tree built by `make test`, `make bench` and `make ladder`:
#   scripts/count-outgoing.sh [BUILD]   (default build)
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
ns=starhold-count-$$
peer=starhold-count-peer-$$
python=/usr/bin/python3
cleanup() { ip netns del "$ns" 2>/dev/null; ip netns del "$peer" 2>/dev/null; }
trap cleanup EXIT
ip netns add "$ns" && ip netns add "$peer" || exit 1
ip -n "$ns" link add eth0 type veth peer name eth0 netns "$peer"
for n in "$ns" "$peer"; do  # IPv6 off, so that the kernel's own solicitations do not count
  ip netns exec "$n" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
done
ip -n "$ns" addr add 192.168.50.2/24 broadcast + dev eth0
ip -n "$peer" addr add 192.168.50.1/24 broadcast + dev eth0
for n in "$ns" "$peer"; do ip -n "$n" link set lo up; ip -n "$n" link set eth0 up; done
ip -n "$ns" route add default via 192.168.50.1
inside() { ip netns exec "$ns" "$@"; }
sent() { inside cat /sys/class/net/eth0/statistics/tx_packets; }
step() { echo "== $1: $(sent) packets sent so far"; }

step "start"
(cd "$build" && inside ctest -j2 2>&1 | grep -E "tests passed|Failed|\*\*\*")
step "after the test suite"
# The bench's X servers get a /tmp of their own: display numbers are chosen by
# the sockets of this namespace but locked by files the machine shares.
inside unshare -m sh -c "mount -t tmpfs tmpfs /tmp && BENCH_SECONDS=3 $python bench/run_bench.py \
  --binary $build/starhold --data data --probe $build/frame_probe.so --out $build/count-outgoing/bench" | tail -1
step "after the bench"
inside $python tests/soak/soak.py --binary "$build/starhold" --seconds 60 2>&1 | tail -1
step "after the soak run"
inside $python bench/ladder.py --ladder "$build/bench/starhold-ladder" --bot "$build/starhold-bot" \
  --out "$build/count-outgoing/ladder" --matches 2 --trials 2 2>&1 | tail -1
step "after the ladder"
for scenario in garbage list-reset slow-reader; do
  inside $python bench/peer_load.py --binary "$build/starhold" --scenario $scenario --seconds 5 | sed -n 1p
done
inside $python bench/peer_load.py --binary "$build/starhold" --probe "$build/frame_probe.so" --scenario datagrams \
  --seconds 10 | sed -n 1p
step "after the hostile-peer measurements"
quiet=$(sent)
inside $python - "$build/starhold" <<'PY'
import os, sys, tempfile, time
sys.path.insert(0, "tests/e2e")
from e2e_test import Game
game = Game(os.path.join(tempfile.mkdtemp(), "game"), os.path.abspath(sys.argv[1]), config="announce 1\n")
game.key("l")
time.sleep(3.5)
game.close()
game.kill()
PY
step "after one game that announces for 3.5 s (the control)"
[[ $quiet -eq 0 && $(sent) -gt 0 ]]
