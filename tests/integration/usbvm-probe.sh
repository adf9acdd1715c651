#!/usr/bin/env bash
# The capacity probe on a real kernel: boots the emulated-USB guest with a
# stick that claims 1 GiB but holds 96 MiB (an NBD export of wrap-plugin.py,
# every offset landing modulo the real size) and an honest 64 MiB stick.
#
#   usbvm-probe.sh RUN CLI WORK
#
# - the fake stick: the probe names wrap-around at exactly 96 MiB;
# - the fake stick again, stopped with Ctrl-C mid-probe: exit code 3, and
#   every overwritten sector written back;
# - the honest stick: "capacity as claimed";
# - on the host afterwards: both media hold every byte they held before.
# WORK must be on the host disk (not /tmp, /var/tmp, /run). Exits 77 when
# the guest kit or nbdkit's python plugin is missing.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

real_mib=96

if [[ ${1:-} == guest ]]; then
    cli=$2
    W=$(disk_with_serial PR0001) P=$(disk_with_serial PR0002)
    [[ -n $W && -n $P ]] && ok "two sticks found" || { bad "sticks: '$W' '$P'"; finish; }
    export QUORVANE_LANG=en

    out=$("$cli" probe "$W" --json --flush 64 2>/tmp/probe.err); rc=$?
    sed 's/^/    | /' /tmp/probe.err
    echo "$out" | sed 's/^/    | /'
    expect "fake stick: exit code" "$rc" 1
    field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])["result"][sys.argv[2]])' "$out" "$1"; }
    expect "fake stick: fault" "$(field fault)" wrap-around
    expect "fake stick: real size" "$(field real_sectors)" $((real_mib * 2048))
    expect "fake stick: claimed size, every sector" "$(field claimed_sectors)" 2097152
    expect "fake stick: nothing left overwritten" "$(field unrestored_sectors)" 0

    # A flush of 512 MiB keeps the probe busy for many seconds, so the
    # interrupt lands mid-probe however fast the guest runs.
    "$cli" probe "$W" --flush 512 >/tmp/stopped.log 2>&1 &
    probe=$!
    sleep 2
    kill -INT $probe
    for _ in $(seq 120); do kill -0 $probe 2>/dev/null || break; sleep 0.5; done
    if kill -0 $probe 2>/dev/null; then
        bad "stop: the probe still runs a minute after Ctrl-C"
        kill $probe
    else
        wait $probe; rc=$?
        sed 's/^/    | /' /tmp/stopped.log
        expect "stop: exit code" "$rc" 3
        grep -q 'every overwritten sector was written back' /tmp/stopped.log && ok "stop: sectors written back" ||
            bad "stop: no write-back line"
    fi

    out=$("$cli" probe "$P" --flush 64 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "honest stick: exit code" "$rc" 0
    grep -q "/dev/$P: capacity as claimed (67 MB)" <<<"$out" && ok "honest stick: capacity as claimed" ||
        bad "honest stick: verdict"
    finish
fi

run=$1 cli=$2 work=$3
self=$(readlink -f "$0")
plugin=$(dirname "$self")/wrap-plugin.py
. "$(dirname "$self")/host-lib.sh"
require_guest_kit "$run"
if ! command -v nbdkit >/dev/null || ! nbdkit python --version >/dev/null 2>&1; then
    echo "SKIP: nbdkit with its python plugin is missing (scripts/setup)"
    exit 77
fi
mkdir -p "$work"
work=$(readlink -f "$work")
self=$(stage_guest_script "$self" "$work")
guest_shares "$work" "$(dirname "$(readlink -f "$cli")")"

# Random bytes over both media, so that any sector left changed shows.
rm -f "$work"/p*.img "$work/wrap.sock"
head -c $((real_mib << 20)) /dev/urandom >"$work/p-real.img"
head -c $((64 << 20)) /dev/urandom >"$work/p-honest.img"
before_real=$(sha256sum <"$work/p-real.img")
before_honest=$(sha256sum <"$work/p-honest.img")

nbdkit --unix "$work/wrap.sock" --foreground python "$plugin" file="$work/p-real.img" size=$((1 << 30)) &
server=$!
for _ in $(seq 50); do [[ -S $work/wrap.sock ]] && break; sleep 0.1; done

"$run" --timeout 280 "${shares[@]}" \
    --stick-drive "w:nbd+unix:///?socket=$work/wrap.sock" \
    --stick "drive=w,vendor=ACME,product=Huge,serial=PR0001" \
    --stick "$work/p-honest.img,vendor=ACME,product=Honest,serial=PR0002" \
    -- bash "$self" guest "$cli"
rc=$?
kill $server 2>/dev/null
wait $server 2>/dev/null

if [[ $(sha256sum <"$work/p-real.img") == "$before_real" ]]; then
    echo "PASS: the fake stick's real storage holds every byte it held"
else
    echo "FAIL: the fake stick's real storage changed"; rc=1
fi
if [[ $(sha256sum <"$work/p-honest.img") == "$before_honest" ]]; then
    echo "PASS: the honest stick holds every byte it held"
else
    echo "FAIL: the honest stick changed"; rc=1
fi
exit $rc
