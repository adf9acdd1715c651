#!/usr/bin/env bash
# Both benchmarks on throttled sticks in the emulated-USB guest, in one boot:
# the figures must land within 10 % of the bandwidth QEMU lets through,
# which they can only if they measure the device and not the page cache.
#
#   usbvm-benchmarks.sh RUN CLI WORK
#
# - a raw stick throttled to 4 MB/s reads and 2 MB/s writes:
#   bench raw --write --yes, the median sample and the throughput of all 200
#   segments of each direction;
# - a FAT stick throttled to 8 MB/s writes and 16 MB/s reads, mounted in
#   the guest: bench file; every size measured (a pass of each phase adds a
#   100 ms pause, which the tolerance covers), the test file gone after.
# WORK must be on the host disk (not /tmp, /var/tmp, /run). Exits 77 when
# the guest kit is not set up.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

RAW_READ=4000000 RAW_WRITE=2000000 FILE_WRITE=8000000 FILE_READ=16000000

within() {  # within WHAT GOT WANT -> PASS when |GOT/WANT - 1| <= 0.10
    if python3 -c "import sys; g, w = float(sys.argv[1]), float(sys.argv[2]); sys.exit(0 if abs(g / w - 1) <= 0.10 else 1)" "$2" "$3"; then
        ok "$1: $2 B/s against $3"
    else
        bad "$1: $2 B/s against $3 (more than 10 % off)"
    fi
}

if [[ ${1:-} == guest ]]; then
    cli=$2
    R=$(disk_with_serial BR0001) F=$(disk_with_serial BF0001)
    [[ -n $R && -n $F ]] && ok "two sticks found" || { bad "sticks: '$R' '$F'"; finish; }
    export LANG=C

    out=$("$cli" bench raw "$R" --write --yes --json 2>/tmp/raw.err); rc=$?
    echo "$out" >"$(dirname "$0")/raw.json"
    sed 's/^/    | /' /tmp/raw.err
    expect "raw: exit code" "$rc" 0
    # The median sample and the throughput of the whole test (bytes over the
    # summed segment times) must meet the throttle. The page's average is the
    # plain mean of the samples, which the emulator's burst allowance lifts:
    # its first segments pass at several times the throttle.
    read -r samples medRead thrRead medWrite thrWrite <<<"$(python3 -c '
import json, statistics, sys
j = json.loads(sys.stdin.read())["result"]
r, w = j["read"]["samples"], j["write"]["samples"]
through = lambda s: len(s) / sum(1 / v for v in s) * 1000
print(len(r) + len(w), statistics.median(r) * 1000, through(r), statistics.median(w) * 1000, through(w))
' <<<"$out")"
    expect "raw: 400 samples in the JSON" "$samples" 400
    within "raw read median sample" "$medRead" $RAW_READ
    within "raw read throughput" "$thrRead" $RAW_READ
    within "raw write median sample" "$medWrite" $RAW_WRITE
    within "raw write throughput" "$thrWrite" $RAW_WRITE

    mkdir -p /tmp/fat && mount "/dev/$F" /tmp/fat && ok "FAT stick mounted" || { bad "mount /dev/$F"; finish; }
    out=$("$cli" bench file "$F" --json 2>/tmp/file.err); rc=$?
    echo "$out" >"$(dirname "$0")/file.json"
    sed 's/^/    | /' /tmp/file.err
    expect "file: exit code" "$rc" 0
    while read -r k size w r; do
        within "file $size MB write" "$w" $FILE_WRITE
        within "file $size MB read" "$r" $FILE_READ
    done < <(python3 -c '
import json, sys
j = json.loads(sys.stdin.read())["result"]
for k, size in enumerate(j["sizes_mb"]):
    if j["write_kb_s"][k] >= 0:
        print(k, size, j["write_kb_s"][k] * 1024, j["read_kb_s"][k] * 1024)
' <<<"$out")
    measured=$(python3 -c 'import json,sys; print(sum(v >= 0 for v in json.loads(sys.stdin.read())["result"]["read_kb_s"]))' <<<"$out")
    expect "file: four sizes fit the free space" "$measured" 4
    [[ ! -e /tmp/fat/TESTFILE.TMP ]] && ok "file: test file removed" || bad "file: TESTFILE.TMP left behind"
    umount /tmp/fat
    finish
fi

run=$1 cli=$2 work=$3
self=$(readlink -f "$0")
cache=${USBVM_CACHE:-${XDG_CACHE_HOME:+$XDG_CACHE_HOME/usbvm}}
cache=${cache:-/var/cache/usbvm}
if [[ ! -x $run || ! -e $cache/current ]] || ! command -v qemu-system-x86_64 >/dev/null; then
    echo "SKIP: the emulated-USB guest kit is not set up"
    exit 77
fi
mkdir -p "$work"
work=$(readlink -f "$work")
cp "$self" "$work/usbvm-benchmarks.sh"
cp "$(dirname "$self")/guest-lib.sh" "$work/guest-lib.sh"
self=$work/usbvm-benchmarks.sh
shares=(--share "$work")
clidir=$(dirname "$(readlink -f "$cli")")
case $clidir/ in
/tmp/* | /var/tmp/* | /run/* | /dev/shm/*)
    [[ $work/ == "$clidir"/* ]] && shares=(--share "$clidir") || shares+=(--share "$clidir") ;;
esac
rm -f "$work"/b*.img
truncate -s 24M "$work/braw.img"
truncate -s 5M "$work/bfile.img"
mkfs.vfat "$work/bfile.img" >/dev/null
"$run" --timeout 290 "${shares[@]}" \
    --stick-drive "r:$work/braw.img,throttling.bps-read=$RAW_READ,throttling.bps-write=$RAW_WRITE" \
    --stick "drive=r,vendor=ACME,product=Throttled,serial=BR0001" \
    --stick-drive "f:$work/bfile.img,throttling.bps-read=$FILE_READ,throttling.bps-write=$FILE_WRITE" \
    --stick "drive=f,vendor=ACME,product=FatStick,serial=BF0001" \
    -- bash "$self" guest "$cli"
