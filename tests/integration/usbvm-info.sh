#!/usr/bin/env bash
# The information page's data on a real kernel: boots the emulated-USB
# guest with a hub holding two sticks and a third stick on a root port, and
# compares what quorvane-cli usb/info report with the guest's sysfs read
# here independently; then photographs the page with the middle stick
# selected and checks that its device is the marked tree item.
#
#   usbvm-info.sh RUN CLI PAGE-TEST WORK [SCREENSHOT-DIR]
#
# WORK must be on the host disk. Exits 77 when the guest kit is not set up.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

# The USB device folder a disk sits on, by walking up from its sysfs path.
usb_device_of() {
    local d
    d=$(readlink -f "/sys/class/block/$1")
    while [[ $d != / && ! -e $d/idVendor ]]; do d=$(dirname "$d"); done
    [[ $d != / ]] && basename "$d"
}

if [[ ${1:-} == guest ]]; then
    cli=$2 page=$3 shots=$4
    A=$(disk_with_serial IN0001) B=$(disk_with_serial IN0002) C=$(disk_with_serial IN0003)
    [[ -n $A && -n $B && -n $C ]] && ok "three sticks found ($A $B $C)" || { bad "sticks: '$A' '$B' '$C'"; finish; }
    export QUORVANE_LANG=en
    ua=$(usb_device_of "$A") ub=$(usb_device_of "$B") uc=$(usb_device_of "$C")
    echo "    USB devices: $A=$ua $B=$ub $C=$uc"

    "$cli" usb "$B" --verbose 2>/dev/null | sed 's/^/    | /'
    "$cli" usb "$B" --json >/tmp/usb.json 2>/tmp/usb.err; rc=$?
    expect "usb --json: exit code" "$rc" 0
    # Every node against sysfs: ids, strings, port, parent, hub ports; the
    # tree holds exactly the devices sysfs lists.
    python3 - /tmp/usb.json "$ua" "$ub" "$uc" "$B" <<'PY'
import json, os, sys
tree = json.load(open(sys.argv[1]))
ua, ub, uc, disk_b = sys.argv[2:6]
fails = 0
def check(what, got, want):
    global fails
    if got == want:
        print(f"PASS: {what}")
    else:
        fails += 1
        print(f"FAIL: {what}\n    got:  {got!r}\n    want: {want!r}")
def attr(dev, name):
    try:
        with open(f"/sys/bus/usb/devices/{dev}/{name}", errors="replace") as f:
            return f.read().strip()
    except OSError:
        return ""
nodes, parent = {}, {}
def walk(item, up):
    nodes[item["id"]] = item
    parent[item["id"]] = up
    for child in item["children"]:
        walk(child, item["id"])
for controller in tree["controllers"]:
    walk(controller, None)
sysfs = sorted(d for d in os.listdir("/sys/bus/usb/devices") if ":" not in d)
check("the tree lists exactly the USB devices of sysfs", sorted(n for n in nodes if nodes[n]["kind"] != "controller"), sysfs)
for dev in sysfs:
    n = nodes.get(dev)
    if n is None:
        continue
    real = os.path.realpath(f"/sys/bus/usb/devices/{dev}")
    up = os.path.basename(os.path.dirname(real))
    if dev.startswith("usb"):
        check(f"{dev}: root hub under its controller {up}", (n["kind"], parent[dev]), ("root hub", up))
    else:
        check(f"{dev}: parent", parent[dev], up)
        check(f"{dev}: port", n["port"], int(dev.replace("-", ".").split(".")[-1]))
    check(f"{dev}: vendor and product ids", (n["vendor_id"], n["product_id"]), (attr(dev, "idVendor"), attr(dev, "idProduct")))
    check(f"{dev}: strings", (n["manufacturer"], n["product"], n["serial_number"]),
          (attr(dev, "manufacturer"), attr(dev, "product"), attr(dev, "serial")))
    check(f"{dev}: speed", n["speed_mbps"], attr(dev, "speed"))
    maxchild = int(attr(dev, "maxchild") or 0)
    if maxchild:
        check(f"{dev}: a hub with {maxchild} ports", (n["kind"] in ("root hub", "hub"), n["ports"]), (True, maxchild))
        check(f"{dev}: hub characteristics read through usbfs", n["hub_characteristics"] is not None, True)
# The shape: the hub holds A and B on its ports, C sits on a root hub.
check("sticks A and B share the external hub", (parent[ua], parent[ub], nodes[parent[ua]]["kind"]), (parent[ub], parent[ua], "hub"))
check("stick C sits on a root port", nodes[parent[uc]]["kind"], "root hub")
check("serials of the sticks", [nodes[u]["serial_number"] for u in (ua, ub, uc)], ["IN0001", "IN0002", "IN0003"])
check("the selected drive's device is marked", (tree["selected_device"], nodes[ub].get("selected")), (ub, True))
print(f"python: {fails} failed")
sys.exit(1 if fails else 0)
PY
    [[ $? -eq 0 ]] && ok "usb tree matches sysfs" || bad "usb tree differs from sysfs"

    # Volume figures: unformatted, formatted and unmounted, then mounted.
    size=$(cat /sys/class/block/$A/size)
    json=$("$cli" info "$A" --json 2>&1)
    expect "info: capacity of the unformatted stick" \
        "$(python3 -c 'import json,sys; j=json.loads(sys.argv[1]); print(j["capacity_lba"] + 1, j["volume"]["file_system"], j["volume"]["space"], j["usb_device"])' "$json")" \
        "$size None None $ua"
    /sbin/mkfs.vfat -F 32 -n GUESTVOL /dev/$A >/dev/null 2>&1 || bad "mkfs.vfat"
    json=$("$cli" info "$A" --json 2>&1)
    expect "info: file system and label, not mounted" \
        "$(python3 -c 'import json,sys; v=json.loads(sys.argv[1])["volume"]; print(v["file_system"], v["label"], v["space"])' "$json")" \
        "FAT32 GUESTVOL None"
    mkdir -p /mnt/a && mount /dev/$A /mnt/a && head -c 3000000 /dev/urandom >/mnt/a/fill && sync
    json=$("$cli" info "$A" --json 2>&1)
    space() { python3 -c 'import json,sys; s=json.loads(sys.argv[1])["volume"]["space"]; print(s["total_bytes"], s["used_bytes"], s["available_bytes"], "%d%%" % s["used_percent"], s["free_percent"] + s["used_percent"])' "$1"; }
    expect "info: space of the mounted FAT volume as df shows it (size, used, avail, use%)" "$(space "$json")" \
        "$(df -B1 --output=size,used,avail,pcent /mnt/a | tail -1 | xargs) 100"
    "$cli" info "$A" | sed 's/^/    | /'
    # A stick the system has mounted (no udisks2 here to unmount it) is
    # refused for a run that writes, before anything is written.
    sum=$(sha256sum </mnt/a/fill)
    for run in "erase $A --full --yes" "errorscan $A --write --yes"; do
        out=$("$cli" $run 2>&1); rc=$?
        expect "${run%% *} of the mounted stick: refused naming where it is mounted" \
            "$rc $([[ $out == *"/mnt/a"* ]] && echo named)" "3 named"
    done
    umount /mnt/a && mount /dev/$A /mnt/a
    expect "the mounted stick's file is as it was after the refused runs" "$(sha256sum </mnt/a/fill)" "$sum"
    umount /mnt/a
    # ext4 keeps blocks for root: used and free as df counts them.
    if /sbin/mkfs.ext4 -q -F /dev/$A >/dev/null 2>&1 && mount /dev/$A /mnt/a; then
        head -c 3000000 /dev/urandom >/mnt/a/fill && sync
        json=$("$cli" info "$A" --json 2>&1)
        expect "info: space of a mounted ext4 volume as df shows it (reserved blocks)" "$(space "$json")" \
            "$(df -B1 --output=size,used,avail,pcent /mnt/a | tail -1 | xargs) 100"
        "$cli" info "$A" | sed 's/^/    | /'
        umount /mnt/a
    else
        bad "mkfs.ext4 and mount"
    fi

    # Without root: the tree is whole and hub characteristics are unknown
    # (usbfs refuses the control transfer).
    json=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$cli" usb --json 2>&1)
    expect "usb as a user: same devices, hub characteristics unknown" \
        "$(python3 -c '
import json, sys
t = json.loads(sys.argv[1])
def walk(i):
    yield i
    for c in i["children"]:
        yield from walk(c)
nodes = [n for c in t["controllers"] for n in walk(c) if n["kind"] != "controller"]
print(len(nodes), sorted({str(n["hub_characteristics"]) for n in nodes if n["kind"] != "device"}))' "$json")" \
        "$(ls /sys/bus/usb/devices | grep -vc :) ['None']"

    # The page on the real system, with stick B selected.
    if [[ -n $page ]]; then
        QT_QPA_PLATFORM=offscreen QUORVANE_SCREENSHOTS=$shots QUORVANE_INFO_DRIVE=$B QUORVANE_INFO_EXPECT=$ub \
            "$page" >/tmp/page.log 2>&1; rc=$?
        sed 's/^/    | /' /tmp/page.log | grep -v '^    | PASS' | tail -12
        expect "page: the selected stick's device is the marked item, screenshots taken" "$rc" 0
    fi
    finish
fi

run=$1 cli=$2 page=${3:-} work=$4 shots=${5:-}
. "$(dirname "${BASH_SOURCE[0]}")/host-lib.sh"
require_guest_kit "$run"
mkdir -p "$work"
work=$(readlink -f "$work")
shots=${shots:-$work/screenshots}
mkdir -p "$shots"
shots=$(readlink -f "$shots")
self=$(stage_guest_script "$(readlink -f "$0")" "$work")
guest_shares "$work" "$(dirname "$(readlink -f "$cli")")" ${page:+"$(dirname "$(readlink -f "$page")")"}
[[ $shots/ == "$work"/* ]] || shares+=(--share "$shots")
rm -f "$work"/i*.img
truncate -s 64M "$work/i1.img"
truncate -s 32M "$work/i2.img"
truncate -s 48M "$work/i3.img"
exec "$run" --timeout 280 --hub "${shares[@]}" \
    --stick "$work/i1.img,vendor=ACME,product=HubOne,serial=IN0001" \
    --stick "$work/i2.img,vendor=ACME,product=HubTwo,serial=IN0002" \
    --stick "$work/i3.img,vendor=ACME,product=Root,serial=IN0003,port=2" \
    -- bash "$self" guest "$cli" "$page" "$shots"
