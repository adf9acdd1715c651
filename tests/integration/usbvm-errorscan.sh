#!/usr/bin/env bash
# The error scan on a real kernel: boots the emulated-USB guest with three
# sticks and runs quorvane-cli errorscan on them.
#
#   usbvm-errorscan.sh RUN CLI WORK
#
# - a plain stick: one pass with both tests; the medium holds the pattern
#   afterwards except sectors 0..4095 (checked in the guest through O_DIRECT
#   and on the host image file);
# - a stick whose writes vanish and which reads zeros (QEMU null-co): the
#   read test must find every byte different, which it can only if the
#   read-back comes from the medium and not from the page cache;
# - a stick pulled out during a scan: the scan ends, counts the failures
#   and does not hang.
# WORK must be on the host disk (not /tmp, /var/tmp, /run). Exits 77 when
# the guest kit is not set up.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

if [[ ${1:-} == guest ]]; then
    cli=$2 checker=$3
    S=$(disk_with_serial ES0001) Z=$(disk_with_serial ES0002) R=$(disk_with_serial ES0003)
    [[ -n $S && -n $Z && -n $R ]] && ok "three sticks found" || { bad "sticks: '$S' '$Z' '$R'"; finish; }
    export LANG=C

    out=$("$cli" errorscan "$S" --write --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "plain stick: exit code" "$rc" 0
    expect "plain stick: nine log lines" "$(grep -c '^\[..:..:..\]' <<<"$out")" 9
    expect "plain stick: counters" "$(tail -1 <<<"$out")" \
        "/dev/$S: write errors 0, read errors 0, differing bytes 0"
    sectors=$(( $(cat /sys/block/$S/size) ))
    dd if=/dev/$S of=/tmp/stick.img bs=1M iflag=direct status=none
    python3 "$checker" /tmp/stick.img $((sectors - 1)) && ok "plain stick holds the pattern (O_DIRECT read)" ||
        bad "plain stick content"
    rm -f /tmp/stick.img

    out=$("$cli" errorscan "$Z" --write --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "vanishing writes: exit code" "$rc" 1
    diff=$(grep -o 'Check for errors: [0-9]*' <<<"$out" | grep -o '[0-9]*$')
    [[ ${diff:-0} -gt 0 ]] && ok "vanishing writes: $diff differing bytes found" ||
        bad "vanishing writes: no differing bytes (read back from memory?)"

    "$cli" errorscan "$R" --write --yes --passes 3 >/tmp/removal.log 2>&1 &
    scan=$!
    sleep 4
    usbvm-ctl remove -w stick2 >/dev/null
    for _ in $(seq 120); do kill -0 $scan 2>/dev/null || break; sleep 0.5; done
    if kill -0 $scan 2>/dev/null; then
        bad "removal: the scan still runs a minute after the stick left"
        kill $scan
    else
        wait $scan; rc=$?
        sed 's/^/    | /' /tmp/removal.log
        [[ $rc -ne 0 ]] && ok "removal: non-zero exit ($rc)" || bad "removal: exit code 0"
        grep -q 'scan not completed\|errors [1-9]' /tmp/removal.log && ok "removal: failures counted" ||
            bad "removal: no failure counted"
    fi
    finish
fi

run=$1 cli=$2 work=$3
self=$(readlink -f "$0")
checker=$(dirname "$self")/check-pattern.py
require_usbvm_kit "$run"
mkdir -p "$work"
work=$(readlink -f "$work")
# The guest has its own /tmp, /var/tmp, /run and /dev/shm: the guest half
# runs from copies in the work folder, which is shared like the tool's
# folder where that lies in one of them.
cp "$self" "$work/usbvm-errorscan.sh"
cp "$(dirname "$self")/guest-lib.sh" "$work/guest-lib.sh"
cp "$checker" "$work/check-pattern.py"
self=$work/usbvm-errorscan.sh
checker=$work/check-pattern.py
shares=(--share "$work")
clidir=$(dirname "$(readlink -f "$cli")")
case $clidir/ in
/tmp/* | /var/tmp/* | /run/* | /dev/shm/*)
    [[ $work/ == "$clidir"/* ]] && shares=(--share "$clidir") || shares+=(--share "$clidir") ;;
esac
rm -f "$work"/e*.img
truncate -s 24M "$work/e1.img"
truncate -s 48M "$work/e3.img"
"$run" --timeout 280 "${shares[@]}" \
    --stick "$work/e1.img,vendor=ACME,product=Plain,serial=ES0001" \
    --stick-drive "z:driver=null-co,size=16777216,read-zeroes=on" \
    --stick "drive=z,vendor=ACME,product=Null,serial=ES0002" \
    --stick "$work/e3.img,vendor=ACME,product=Pulled,serial=ES0003,name=stick2" \
    -- bash "$self" guest "$cli" "$checker"
rc=$?
# What reached the medium, seen from the host.
if python3 "$checker" "$work/e1.img" $(( $(stat -c %s "$work/e1.img") / 512 - 1 )); then
    echo "PASS: host image holds the pattern"
else
    echo "FAIL: host image content"; rc=1
fi
exit $rc
