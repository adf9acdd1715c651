#!/usr/bin/env bash
# The error scan on a real kernel: boots the emulated-USB guest with three
# sticks and runs quorvane-cli errorscan on them.
#
#   usbvm-errorscan.sh RUN CLI WORK
#
# - a plain stick: one pass with both tests; the medium holds the pattern
#   afterwards except sectors 0..4095 (checked in the guest through O_DIRECT
#   and on the host image file); its report names the stick's USB device;
# - a stick whose writes vanish and which reads zeros (QEMU null-co): the
#   read test must find every byte different, which it can only if the
#   read-back comes from the medium and not from the page cache;
# - a stick pulled out during a scan (its writes throttled to 4 MB/s, so the
#   scan is surely running when it leaves): the scan ends, counts the failures
#   and does not hang.
# WORK must be on the host disk (not /tmp, /var/tmp, /run). Exits 77 when
# the guest kit is not set up.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

if [[ ${1:-} == guest ]]; then
    cli=$2 checker=$3
    S=$(disk_with_serial ES0001) Z=$(disk_with_serial ES0002) R=$(disk_with_serial ES0003)
    [[ -n $S && -n $Z && -n $R ]] && ok "three sticks found" || { bad "sticks: '$S' '$Z' '$R'"; finish; }
    export QUORVANE_LANG=en

    out=$("$cli" errorscan "$S" --write --yes --json --report /tmp/plain.html 2>/tmp/plain.log); rc=$?
    sed 's/^/    | /' /tmp/plain.log; echo "    | $out"
    expect "plain stick: exit code" "$rc" 0
    expect "plain stick: nine log lines" "$(grep -c '^\[..:..:..\]' /tmp/plain.log)" 9
    expect "plain stick: outcome and counters" \
        "$(jfield "$out" outcome) $(jfield "$out" result write_errors) $(jfield "$out" result read_errors) $(jfield "$out" result differing_bytes)" \
        "completed 0 0 0"
    expect "plain stick: the drive" "$(jfield "$out" drive path)" "/dev/$S"
    # The report names the USB device the stick sits on, as sysfs has it.
    usb=$(readlink -f /sys/block/$S)
    while [[ $usb != / && ! -e $usb/idVendor ]]; do usb=$(dirname "$usb"); done
    want="<td>$(cat $usb/idVendor):$(cat $usb/idProduct)</td> <td>$(cat $usb/serial)</td> <td>$(cat $usb/speed) Mbit/s</td>"
    got=$(grep -oE '<td>([0-9a-f]{4}:[0-9a-f]{4}|ES0001|[0-9.]+ Mbit/s)</td>' /tmp/plain.html | tr '\n' ' ' | sed 's/ $//')
    expect "plain stick: the report's USB ids, serial and speed" "$got" "$want"
    sectors=$(( $(cat /sys/block/$S/size) ))
    dd if=/dev/$S of=/tmp/stick.img bs=1M iflag=direct status=none
    python3 "$checker" /tmp/stick.img $sectors && ok "plain stick holds the pattern (O_DIRECT read)" ||
        bad "plain stick content"
    rm -f /tmp/stick.img

    out=$("$cli" errorscan "$Z" --write --yes --json 2>/tmp/null.log); rc=$?
    sed 's/^/    | /' /tmp/null.log; echo "    | $out"
    expect "vanishing writes: exit code" "$rc" 1
    diff=$(jfield "$out" result differing_bytes)
    [[ ${diff:-0} -gt 0 ]] && ok "vanishing writes: $diff differing bytes found" ||
        bad "vanishing writes: no differing bytes (read back from memory?)"

    "$cli" errorscan "$R" --write --yes --passes 3 --json >/tmp/removal.json 2>/tmp/removal.log &
    scan=$!
    sleep 4
    usbvm-ctl remove -w stick2 >/dev/null
    for _ in $(seq 120); do kill -0 $scan 2>/dev/null || break; sleep 0.5; done
    if kill -0 $scan 2>/dev/null; then
        bad "removal: the scan still runs a minute after the stick left"
        kill $scan
    else
        wait $scan; rc=$?
        out=$(cat /tmp/removal.json)
        sed 's/^/    | /' /tmp/removal.log; echo "    | $out"
        [[ $rc -ne 0 && $rc == "$(jfield "$out" exit_code)" ]] && ok "removal: non-zero exit ($rc), as in the object" ||
            bad "removal: exit code $rc, object says $(jfield "$out" exit_code)"
        errors=$(( $(jfield "$out" result write_errors) + $(jfield "$out" result read_errors) ))
        [[ $(jfield "$out" outcome) == failed || $errors -gt 0 ]] &&
            ok "removal: failures counted ($(jfield "$out" outcome), $errors failed chunks)" || bad "removal: no failure counted"
    fi
    finish
fi

run=$1 cli=$2 work=$3
. "$(dirname "${BASH_SOURCE[0]}")/host-lib.sh"
require_guest_kit "$run"
mkdir -p "$work"
work=$(readlink -f "$work")
self=$(stage_guest_script "$(readlink -f "$0")" "$work" "$(dirname "$(readlink -f "$0")")/check-pattern.py")
checker=$work/check-pattern.py
guest_shares "$work" "$(dirname "$(readlink -f "$cli")")"
rm -f "$work"/e*.img
truncate -s 24M "$work/e1.img"
truncate -s 48M "$work/e3.img"
"$run" --timeout 280 "${shares[@]}" \
    --stick "$work/e1.img,vendor=ACME,product=Plain,serial=ES0001" \
    --stick-drive "z:driver=null-co,size=16777216,read-zeroes=on" \
    --stick "drive=z,vendor=ACME,product=Null,serial=ES0002" \
    --stick-drive "p:$work/e3.img,throttling.bps-write=4000000" \
    --stick "drive=p,vendor=ACME,product=Pulled,serial=ES0003,name=stick2" \
    -- bash "$self" guest "$cli" "$checker"
rc=$?
# What reached the medium, seen from the host.
if python3 "$checker" "$work/e1.img" $(( $(stat -c %s "$work/e1.img") / 512 )); then
    echo "PASS: host image holds the pattern"
else
    echo "FAIL: host image content"; rc=1
fi
exit $rc
