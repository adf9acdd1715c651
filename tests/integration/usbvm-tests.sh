#!/usr/bin/env bash
# Checks of the Linux platform layer on a real kernel: boots the emulated-USB
# guest with sticks and runs the guest half of this script inside it.
#
#   usbvm-tests.sh list|hotplug|hotplug-udevd RUN CLI CHECK WORK
#
# RUN is the guest kit's run script, CLI quorvane-cli, CHECK
# quorvane_volume_check, WORK a folder for the stick images (on the host
# disk: the guest cannot reach host files under /tmp, /var/tmp or /run).
# Exits 77 (skipped) when the kit or one of its tools is missing.
set -uo pipefail

mode=$1
shift

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

# Fields of the drive called $2 in the `list --json` object $1, joined by
# "|" (nothing when the drive is not listed).
drive() {
    python3 -c '
import json, sys
for d in json.loads(sys.argv[1])["drives"]:
    if d["name"] == sys.argv[2]:
        print("|".join(v if isinstance(v, str) else json.dumps(v) for v in (d[k] for k in sys.argv[3:])))' "$@"
}

guest_list() {
    local cli=$1 check=$2
    local out A F8 F9 BIG P
    export QUORVANE_LANG=en
    "$cli" list 2>&1 | sed 's/^/    | /'
    out=$("$cli" list --json 2>&1)
    A=$(disk_with_serial LS0001) F8=$(disk_with_serial LS0002) F9=$(disk_with_serial LS0003)
    BIG=$(disk_with_serial LS0004) P=$(disk_with_serial LS0005)
    [[ -n $A && -n $F8 && -n $F9 && -n $BIG && -n $P ]] && ok "five sticks found" || bad "sticks found: '$A' '$F8' '$F9' '$BIG' '$P'"

    expect "removable stick: selector text" "$(drive "$out" "$A" text)" "($A) ACME    Stick (33 MB)"
    expect "removable stick: every sector, READ CAPACITY the last one" "$(drive "$out" "$A" sectors capacity_lba)" "65536|65535"
    expect "removable stick: volume is the whole disk" "$(drive "$out" "$A" volume)" "/dev/$A"
    expect "removable stick: identity" "$(drive "$out" "$A" product revision removable)" "ACME    Stick|1.00|true"

    expect "fixed stick of 2^24 sectors is listed" "$(drive "$out" "$F8" text)" \
        "($F8) ACME    Fixed8 (8 GB)"
    expect "fixed stick of 2^24 sectors: sizes" "$(drive "$out" "$F8" sectors capacity_lba)" "16777216|16777215"
    expect "fixed stick of 2^24 sectors: removable bit clear" "$(drive "$out" "$F8" removable)" "false"
    expect "fixed stick of 2^24+1 sectors is excluded by the rule" \
        "$(jfield "$out" not_listed | python3 -c 'import json,sys; print([d["reason"][:16] for d in json.load(sys.stdin) if d["name"] == sys.argv[1]])' "$F9")" \
        "['excluded by rule']"
    expect "fixed stick of 2^24+1 sectors has no selector line" "$(drive "$out" "$F9" text)" ""

    expect "large removable stick is listed" "$(drive "$out" "$BIG" text)" "($BIG) ACME    Big (17 GB)"
    expect "large removable stick: sizes" "$(drive "$out" "$BIG" sectors capacity_lba)" "33554432|33554431"

    expect "partitioned stick: size shown from READ CAPACITY" "$(drive "$out" "$P" text)" "($P) ACME    Parted (67 MB)"
    expect "partitioned stick: sectorCount is the first partition's length" \
        "$(drive "$out" "$P" sectors capacity_lba)" "40000|131071"
    expect "partitioned stick: volume is the first partition" "$(drive "$out" "$P" volume)" "/dev/${P}1"

    # Slots go out in kernel-name order.
    local order
    order=$(python3 -c '
import json, sys
d = [x for x in json.loads(sys.argv[1])["drives"] if x["name"].startswith("sd")]
print(d == sorted(d, key=lambda x: x["slot"]) and [x["name"] for x in d] == sorted(x["name"] for x in d))' "$out")
    expect "slots follow kernel names, listed in slot order" "$order" "True"

    # Sector round trips through LinuxVolume with O_DIRECT.
    local r
    r=$("$check" roundtrip "/dev/$A" 1000 128 2>&1)
    expect "O_DIRECT round trip on /dev/$A" "$r" $'volume=/dev/'"$A"$' direct=1 unit=512\nroundtrip ok'
    r=$("$check" roundtrip "/dev/$P" 10 16 2>&1)
    expect "O_DIRECT round trip on the first partition of /dev/$P" "$r" \
        $'volume=/dev/'"$P"$'1 direct=1 unit=512\nroundtrip ok'
    if cmp -s <(dd if="/dev/$P" bs=512 skip=2058 count=16 iflag=direct status=none) <("$check" pattern 10 16); then
        ok "partition sectors landed at the partition's start on the disk"
    else
        bad "partition sectors landed at the partition's start on the disk"
    fi
    # WriteSectorsAt does not compare the count written; the read-back
    # of the same two sectors is short and fails.
    r=$("$check" roundtrip "/dev/$A" 65535 2 2>&1 | tail -1)
    expect "a read past the end of the medium fails" "$r" "aligned read-back differs"

    # An explicit partition node is its own volume, sized by its length.
    local part
    part=$("$cli" list "/dev/${P}2" --json 2>&1)
    expect "explicit partition node: selector text" "$(drive "$part" "${P}2" text)" "(${P}2) ACME    Parted (67 MB)"
    expect "explicit partition node: volume and sizes" "$(drive "$part" "${P}2" volume sectors capacity_lba)" \
        "/dev/${P}2|20000|131071"

    # A loop device has no SCSI path: its identity comes from sysfs.
    local loop
    truncate -s 40M /tmp/loop.img
    loop=$(losetup --find --show /tmp/loop.img)
    part=$("$cli" list "$loop" --json 2>&1)
    expect "loop device answers INQUIRY and READ CAPACITY from sysfs" \
        "$(drive "$part" "${loop#/dev/}" text product revision removable)" \
        "(${loop#/dev/}) Linux   ${loop#/dev/} (41 MB)|Linux   ${loop#/dev/}|    |false"
    r=$("$check" roundtrip "$loop" 64 128 2>&1)
    expect "O_DIRECT round trip on $loop" "$r" $'volume='"$loop"$' direct=1 unit=512\nroundtrip ok'
    losetup -d "$loop"

    # Past 2 TiB READ CAPACITY (10) says 0xFFFFFFFF and (16) the rest.
    local T
    T=$(disk_with_serial LS0007)
    expect "stick of 2^32+1 sectors: listed with its true size" "$(drive "$out" "$T" text)" "($T) ACME    Past2T (2199 GB)"
    expect "stick of 2^32+1 sectors: every sector, READ CAPACITY (16)'s last block" \
        "$(drive "$out" "$T" sectors capacity_lba)" "4294967297|4294967296"
    local far=$((4294967297 - 1))
    expect "stick of 2^32+1 sectors: the last sector shown" \
        "$("$cli" sector "$T" $far --json 2>/dev/null | python3 -c 'import json,sys; print(json.load(sys.stdin)["sectors"][0]["sector"])')" "$far"

    # A write-protected stick opens read-only: listed, readable, writes fail.
    local RO
    RO=$(disk_with_serial LS0006)
    expect "write-protected stick is listed" "$(drive "$out" "$RO" text)" "($RO) ACME    Locked (33 MB)"
    expect "write-protected stick refuses writes" "$("$check" roundtrip "/dev/$RO" 0 8 2>&1 | tail -1)" "write failed"

    # tmpfs refuses O_DIRECT on older kernels: the volume falls back.
    local want=1
    dd if=/dev/zero of=/dev/shm/probe bs=4096 count=1 oflag=direct status=none 2>/dev/null || want=0
    truncate -s 1M /dev/shm/vol.img
    r=$("$check" roundtrip /dev/shm/vol.img 8 64 2>&1)
    expect "volume on a tmpfs file (direct=$want)" "$r" \
        $'volume=/dev/shm/vol.img direct='"$want"$' unit='"$([[ $want == 1 ]] && echo 4096 || echo 1)"$'\nroundtrip ok'
    finish
}

# Waits up to 30 s for a line matching $2 in file $1.
wait_line() {
    local i
    for ((i = 0; i < 300; i++)); do
        grep -qE "$2" "$1" && return 0
        sleep 0.1
    done
    return 1
}

guest_hotplug() {
    local cli=$1 work=$2 source=$3
    local log=/tmp/watch.log
    "$cli" list --watch 90 >"$log" 2>&1 &
    local watcher=$!
    wait_line "$log" '^watching' || bad "watcher started"
    expect "events from the $source source" "$(grep '^watching' "$log")" "watching ($source events) for 90 s"

    local added name node
    added=$(usbvm-ctl add -w "$work/hot.img,vendor=ACME,product=Hot,serial=HOT1")
    name=$(awk '{print $1}' <<<"$added")
    node=$(grep -o '/dev/sd[a-z]*' <<<"$added")
    [[ -n $node ]] && ok "stick plugged in ($added)" || bad "stick plugged in ($added)"
    if wait_line "$log" "^added \(${node#/dev/}\)"; then
        expect "arrival listed" "$(grep '^added' "$log")" "added (${node#/dev/}) ACME    Hot (33 MB)"
    else
        bad "arrival listed"
    fi

    usbvm-ctl remove -w "$name" >/dev/null
    if wait_line "$log" "^removed ${node#/dev/}\$"; then ok "removal seen"; else bad "removal seen"; fi

    # The boot stick is in the list and was not reported again.
    expect "boot stick stays listed once" "$(grep -c '^(sd' "$log")" 1

    # Medium out and in: the kernel reports media changes of a disk whose
    # events it polls (desktops switch that on through udisks).
    local boot
    boot=$(disk_with_serial HB0001)
    echo 200 >"/sys/block/$boot/events_poll_msecs"
    usbvm-ctl eject stick0 >/dev/null
    if wait_line "$log" "^media changed $boot\$"; then ok "medium removal seen"; else bad "medium removal seen"; fi
    sleep 0.5
    expect "drive without a medium is not listed again" "$(grep -c "^added ($boot)" "$log")" 0
    usbvm-ctl insert stick0 "$work/h2.img" >/dev/null
    if wait_line "$log" "^added \($boot\)"; then
        expect "new medium listed with its size" "$(grep "^added ($boot)" "$log")" "added ($boot) ACME    Boot (50 MB)"
    else
        bad "new medium listed with its size"
    fi
    kill "$watcher" 2>/dev/null
    wait "$watcher" 2>/dev/null
    sed 's/^/    | /' "$log"

    # Without root or the disk group the device cannot be opened, yet the
    # stick is listed from the kernel's record, to be opened through udisks2.
    out=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$cli" list --json 2>&1)
    expect "unprivileged list: the stick from its record" \
        "$(jfield "$out" drives 0 text) $(jfield "$out" drives 0 access)" "($boot) ACME    Boot (50 MB) udisks2"

    # A disk the system swaps to or has mounted at /boot is never listed.
    local out
    mkswap -q "/dev/$boot" && swapon "/dev/$boot"
    out=$("$cli" list)
    local named
    named=$("$cli" list "/dev/$boot" | grep "^not listed: $boot: open")
    swapoff "/dev/$boot"
    expect "swap disk is a system disk" "$(grep "^not listed: $boot" <<<"$out")" "not listed: $boot: system disk"
    expect "swap disk has no selector line" "$(grep -c "^($boot)" <<<"$out")" 0
    expect "swap disk named explicitly is refused" "$named" "not listed: $boot: open failed (Device or resource busy)"
    mkfs.vfat -n BOOT "/dev/$boot" >/dev/null && mount "/dev/$boot" /boot
    out=$("$cli" list)
    umount /boot
    expect "disk mounted at /boot is a system disk" "$(grep "^not listed: $boot" <<<"$out")" \
        "not listed: $boot: system disk"
    finish
}

case $mode in
guest-list) guest_list "$@" ;;
guest-hotplug) guest_hotplug "$@" ;;
list | hotplug | hotplug-udevd) ;;
*) echo "usage: $0 list|hotplug|hotplug-udevd RUN CLI CHECK WORK" >&2; exit 2 ;;
esac

run=$1 cli=$2 check=$3 work=$4
. "$(dirname "${BASH_SOURCE[0]}")/host-lib.sh"
require_guest_kit "$run"
if [[ $mode == list ]] && ! command -v sfdisk >/dev/null; then
    echo "SKIP: sfdisk (package fdisk) is missing"
    exit 77
fi
mkdir -p "$work"
work=$(readlink -f "$work")
self=$(stage_guest_script "$(readlink -f "$0")" "$work")
guest_shares "$work" "$(dirname "$(readlink -f "$cli")")" "$(dirname "$(readlink -f "$check")")"

case $mode in
list)
    rm -f "$work"/l*.img
    truncate -s 32M "$work/l1.img"
    truncate -s $((16777216 * 512)) "$work/l2.img"
    truncate -s $(((16777216 + 1) * 512)) "$work/l3.img"
    truncate -s $((33554432 * 512)) "$work/l4.img"
    truncate -s 64M "$work/l5.img"
    truncate -s 32M "$work/l6.img"
    truncate -s $(((4294967296 + 1) * 512)) "$work/l7.img"
    printf 'label: dos\nstart=2048, size=40000, type=c\nstart=43008, size=20000, type=83\n' |
        sfdisk -q "$work/l5.img" >/dev/null || { echo "FAIL: sfdisk on $work/l5.img"; exit 1; }
    exec "$run" --timeout 180 "${shares[@]}" \
        --stick "$work/l1.img,vendor=ACME,product=Stick,rev=1.00,serial=LS0001" \
        --stick "$work/l2.img,removable=off,vendor=ACME,product=Fixed8,serial=LS0002" \
        --stick "$work/l3.img,removable=off,vendor=ACME,product=Fixed9,serial=LS0003" \
        --stick "$work/l4.img,vendor=ACME,product=Big,serial=LS0004" \
        --stick "$work/l5.img,vendor=ACME,product=Parted,serial=LS0005" \
        --stick "$work/l6.img,vendor=ACME,product=Locked,serial=LS0006,ro=on" \
        --stick "$work/l7.img,vendor=ACME,product=Past2T,serial=LS0007" \
        -- bash "$self" guest-list "$cli" "$check"
    ;;
hotplug | hotplug-udevd)
    rm -f "$work"/h*.img "$work/hot.img"
    truncate -s 16M "$work/h1.img"
    truncate -s 48M "$work/h2.img"
    truncate -s 32M "$work/hot.img"
    udevd=() source=kernel
    [[ $mode == hotplug-udevd ]] && udevd=(--udevd) source=udev
    exec "$run" --timeout 150 "${udevd[@]}" "${shares[@]}" \
        --stick "$work/h1.img,vendor=ACME,product=Boot,serial=HB0001" \
        -- bash "$self" guest-hotplug "$cli" "$work" "$source"
    ;;
esac
