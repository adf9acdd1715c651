#!/usr/bin/env bash
# Backup and restore on a real kernel: boots the emulated-USB guest with
# five sticks and runs quorvane-cli backup and restore on them, then the
# window's restore.
#
#   usbvm-transfers.sh RUN CLI WORK [GUI]
#
# - a stick of random data is backed up; the image equals the medium read
#   with O_DIRECT and its .sha256 checks;
# - the image is restored onto a second stick and verified; seen from the
#   host, both stick files then hold the same sectors;
# - an image file on a file system of the stick itself is refused;
# - a stick pulled out during a restore: the restore ends with the failure
#   and its second line, and does not hang;
# - the same in the window (GUI, the GuiHotplug program, when the window is
#   built): a restore onto a stick throttled to 2 MB/s writes, the stick
#   pulled midway; the page ends with the failure message, the controls
#   come back, and the erase page then quick-erases another stick;
# - a stick of an odd size (not a multiple of 128 sectors) is listed with
#   every sector by each route, backed up, scanned, restored and erased to
#   its last sector, which the host checks afterwards.
# WORK must be on the host disk (not /tmp, /var/tmp, /run). Exits 77 when
# the guest kit is not set up.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

if [[ ${1:-} == guest ]]; then
    cli=$2 work=$3 gui=${4:-}
    A=$(disk_with_serial TR0001) B=$(disk_with_serial TR0002) P=$(disk_with_serial TR0003)
    F=$(disk_with_serial TR0004)
    [[ -n $A && -n $B && -n $P && -n $F ]] && ok "four sticks found" || { bad "sticks: '$A' '$B' '$P' '$F'"; finish; }
    export LANG=C
    cd "$work" || exit 1

    out=$("$cli" backup "$A" "$work/a.qvn" 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "backup: exit code" "$rc" 0
    bytes=$(stat -c %s "$work/a.qvn")
    dd if=/dev/$A of=/tmp/a.raw bs=1M iflag=direct status=none
    cmp -n "$bytes" /tmp/a.raw "$work/a.qvn" && ok "backup: image equals the medium ($bytes bytes, O_DIRECT read)" ||
        bad "backup: image differs from the medium"
    rm -f /tmp/a.raw
    sha256sum --quiet -c a.qvn.sha256 && ok "backup: a.qvn.sha256 checks" || bad "backup: checksum"

    out=$("$cli" restore "$B" "$work/a.qvn" --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "restore: exit code" "$rc" 0
    dd if=/dev/$B of=/tmp/b.raw bs=1M iflag=direct status=none
    cmp -n "$bytes" /tmp/b.raw "$work/a.qvn" && ok "restore: medium equals the image (O_DIRECT read)" ||
        bad "restore: medium differs from the image"
    rm -f /tmp/b.raw

    mkfs.vfat /dev/$F >/dev/null && mkdir -p /mnt/f && mount -t vfat /dev/$F /mnt/f
    out=$("$cli" backup "$F" /mnt/f/self.qvn 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "image on the stick itself: exit code" "$rc" 3
    [[ ! -e /mnt/f/self.qvn ]] && ok "image on the stick itself: nothing written" || bad "image on the stick written"
    umount /mnt/f

    # The pulled stick's writes are throttled to 4 MB/s, so the 60 MB
    # restore is surely still writing when the stick leaves: pulled once
    # its first MiB has reached the medium.
    "$cli" restore "$P" "$work/big.qvn" --yes >/tmp/pull.log 2>&1 &
    job=$!
    for _ in $(seq 100); do
        w=$(awk '{print $7}' /sys/block/$P/stat 2>/dev/null || echo 0)
        [[ ${w:-0} -ge 2048 ]] && break
        sleep 0.1
    done
    usbvm-ctl remove -w stick2 >/dev/null
    for _ in $(seq 120); do kill -0 $job 2>/dev/null || break; sleep 0.5; done
    if kill -0 $job 2>/dev/null; then
        bad "pulled: the restore still runs a minute after the stick left"
        kill $job
    else
        wait $job; rc=$?
        sed 's/^/    | /' /tmp/pull.log
        expect "pulled: exit code" "$rc" 3
        grep -q "$P" /tmp/pull.log && ok "pulled: the failure names the drive" || bad "pulled: drive not named"
    fi

    # A stick of 32,845 sectors (not a multiple of 128) whose last sector
    # holds a marker: every route states every sector, and the last one is
    # backed up, scanned, restored and erased.
    O=$(disk_with_serial TR0006)
    n=$(cat /sys/block/$O/size)
    expect "odd stick: the kernel's size" "$n" 32845
    sectors_of() { python3 -c 'import json,sys; print([d["sectors"] for d in json.loads(sys.argv[1])["drives"] if d["name"] == sys.argv[2]])' "$1" "$2"; }
    expect "odd stick: listed with every sector (READ CAPACITY + 1)" "$(sectors_of "$("$cli" list --json 2>/dev/null)" "$O")" "[$n]"
    expect "odd stick: every sector from the kernel's record (unprivileged)" \
        "$(sectors_of "$(setpriv --reuid=65534 --regid=65534 --clear-groups "$cli" list --json 2>/dev/null)" "$O")" "[$n]"
    last() { dd if=/dev/$O bs=512 skip=$((n - 1)) count=1 iflag=direct status=none | head -c 16; }
    out=$("$cli" backup "$O" "$work/o.qvn" 2>&1); rc=$?
    expect "odd stick: backup exit code" "$rc" 0
    expect "odd stick: the backup holds every sector" "$(stat -c %s "$work/o.qvn")" $((n * 512))
    expect "odd stick: the backup ends with the marker" "$(tail -c 512 "$work/o.qvn" | head -c 16)" "ODDSTICKLASTSECT"
    out=$("$cli" errorscan "$O" --write --yes --json 2>&1); rc=$?
    expect "odd stick: error scan exit code" "$rc" 0
    expect "odd stick: the scan wrote the last sector's pattern" "$(last)" \
        "$(python3 -c 'import sys; s=int(sys.argv[1]); print("%07X%09d" % (s, s))' $((n - 1)))"
    out=$("$cli" restore "$O" "$work/o.qvn" --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "odd stick: restore exit code (read back equal)" "$rc" 0
    expect "odd stick: the marker is back in the last sector" "$(last)" "ODDSTICKLASTSECT"
    out=$("$cli" erase "$O" --full --yes 2>&1); rc=$?
    expect "odd stick: full erase exit code" "$rc" 0
    # The card-reader route (no SCSI path, sizes from sysfs) as a loop device.
    truncate -s $((n * 512)) /tmp/odd.img
    loop=$(losetup --find --show /tmp/odd.img)
    expect "odd loop device: every sector from sysfs" "$(sectors_of "$("$cli" list "$loop" --json 2>/dev/null)" "${loop#/dev/}")" "[$n]"
    losetup -d "$loop"

    if [[ -n $gui ]]; then
        S=$(disk_with_serial TR0005)
        [[ -n $S ]] && ok "throttled stick found" || bad "throttled stick missing"
        blkid -p /dev/$F >/dev/null && ok "window: the FAT stick holds its file system" || bad "window: FAT stick blank"
        out=$(env QT_QPA_PLATFORM=offscreen QUORVANE_PULL_STICK=Slow QUORVANE_PULL_NAME=slow \
            QUORVANE_PULL_IMAGE="$work/pull.qvn" QUORVANE_OTHER_STICK=Fat \
            timeout 150 "$gui" restoreEndsWithTheFailureWhenTheStickIsPulled 2>&1); rc=$?
        if [[ $rc -eq 0 ]]; then
            echo "$out" | grep -E '^(PASS|FAIL|SKIP|QINFO|Totals)' | sed 's/^/    | /'
        else
            echo "$out" | tail -40 | sed 's/^/    | /'
        fi
        expect "window: pulled mid-restore, failure shown, the program works on" "$rc" 0
        grep -q '^SKIP' <<<"$out" && bad "window: the check skipped"
        [[ ! -e /sys/block/$S ]] && ok "window: the pulled stick is gone" || bad "window: stick $S still there"
        blkid -p /dev/$F >/dev/null && bad "window: the erase left the FAT file system" ||
            ok "window: the erase page wiped the other stick's start"
    fi
    finish
fi

run=$1 cli=$(readlink -f "$2") work=$3 gui=${4:+$(readlink -f "$4")}
self=$(readlink -f "$0")
cache=${USBVM_CACHE:-${XDG_CACHE_HOME:+$XDG_CACHE_HOME/usbvm}}
cache=${cache:-/var/cache/usbvm}
if [[ ! -x $run || ! -e $cache/current ]] || ! command -v qemu-system-x86_64 >/dev/null; then
    echo "SKIP: the emulated-USB guest kit is not set up"
    exit 77
fi
mkdir -p "$work"
work=$(readlink -f "$work")
cp "$self" "$work/usbvm-transfers.sh"
cp "$(dirname "$self")/guest-lib.sh" "$work/guest-lib.sh"
self=$work/usbvm-transfers.sh
shares=(--share "$work")
clidir=$(dirname "$(readlink -f "$cli")")
case $clidir/ in
/tmp/* | /var/tmp/* | /run/* | /dev/shm/*)
    [[ $work/ == "$clidir"/* ]] && shares=(--share "$clidir") || shares+=(--share "$clidir") ;;
esac
rm -f "$work"/t*.img "$work"/a.qvn* "$work"/big.qvn "$work"/pull.qvn
head -c 16M /dev/urandom >"$work/t1.img"
truncate -s 16M "$work/t2.img"
truncate -s 64M "$work/t3.img"
head -c 60M /dev/urandom >"$work/big.qvn"
truncate -s 16M "$work/t4.img"
truncate -s 24M "$work/t5.img"
head -c 16M /dev/urandom >"$work/pull.qvn"
rm -f "$work/t6.img" "$work"/o.qvn*
head -c $((32845 * 512)) /dev/urandom >"$work/t6.img"
printf 'ODDSTICKLASTSECT' | dd of="$work/t6.img" bs=512 seek=32844 conv=notrunc status=none
"$run" --timeout 280 "${shares[@]}" \
    --stick "$work/t1.img,vendor=ACME,product=Source,serial=TR0001" \
    --stick "$work/t2.img,vendor=ACME,product=Target,serial=TR0002" \
    --stick-drive "p:$work/t3.img,throttling.bps-write=4000000" \
    --stick "drive=p,vendor=ACME,product=Pulled,serial=TR0003,name=stick2" \
    --stick "$work/t4.img,vendor=ACME,product=Fat,serial=TR0004" \
    --stick-drive "s:$work/t5.img,throttling.bps-write=2000000" \
    --stick "drive=s,vendor=ACME,product=Slow,serial=TR0005,name=slow" \
    --stick "$work/t6.img,vendor=ACME,product=Odd,serial=TR0006" \
    -- bash "$self" guest "$cli" "$work" "$gui"
rc=$?
# What reached the media, seen from the host: the sectors the image holds.
bytes=$(stat -c %s "$work/a.qvn" 2>/dev/null || echo 0)
if [[ $bytes -gt 0 ]] && cmp -n "$bytes" "$work/t1.img" "$work/t2.img"; then
    echo "PASS: host images of source and target hold the same $bytes bytes"
else
    echo "FAIL: host images differ"; rc=1
fi
# The odd stick's last sector, erased, seen from the host.
if cmp -s -n $((32845 * 512)) "$work/t6.img" /dev/zero; then
    echo "PASS: host image of the odd stick is zero to its last sector"
else
    echo "FAIL: the odd stick's image is not zero after the full erase"; rc=1
fi
exit $rc
