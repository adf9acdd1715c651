#!/usr/bin/env bash
# Signature recovery on a real exFAT card: boots the emulated-USB guest with
# a stick full of old data, partitions it as cards come (one partition from
# 1 MiB), formats it with mkfs.exfat (32 KiB clusters) and has the guest
# kernel's exfat driver write the sample files of every kind to it, back to
# back in two folders. One large file is then cut to two clusters (truncate),
# the stick is mounted afresh so that the driver allocates from the first
# free cluster, and a new picture is written into the clusters the cut
# freed; the cut file and a quarter of the others are deleted. Then
# `quorvane-cli recover` on the whole stick:
#
# - every live file and every deleted file whose clusters are intact comes
#   back byte-exact, from the sector where the driver placed it (sectors
#   count from the start of the volume, which is what the scan reads);
# - the partially overwritten file is not listed whole and does not reach
#   into the picture written over it; the picture and every file behind it
#   come back.
#
#   usbvm-recovery-exfat.sh RUN CLI SAMPLES WORK
#
# WORK must be on the host disk. Exits 77 when the guest kit is not set up.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

overwritten=mpg-01.mpg   # cut, partly written over, deleted
newcomer=jpg-01.jpg      # written into the clusters the cut freed
cluster=32768

if [[ ${1:-} == guest ]]; then
    cli=$2 samples=$3 work=$4
    D=$(disk_with_serial EX0001)
    [[ -n $D ]] && ok "stick found ($D)" || { bad "no stick"; finish; }
    export QUORVANE_LANG=en
    modprobe exfat || { bad "modprobe exfat"; finish; }

    echo 'start=2048, type=7' | sfdisk -q /dev/$D >/dev/null 2>&1 || bad "sfdisk"
    for _ in $(seq 50); do [[ -b /dev/${D}1 ]] && break; sleep 0.1; done
    P=/dev/${D}1
    mkfs.exfat -c $cluster -L CARD $P >/tmp/mkfs.log 2>&1 && ok "mkfs.exfat on $P" ||
        { bad "mkfs.exfat"; cat /tmp/mkfs.log; finish; }
    mkdir -p /mnt/card
    mount -t exfat $P /mnt/card || { bad "mount -t exfat"; finish; }
    mkdir /mnt/card/DCIM /mnt/card/DOCS

    # Kinds alternate: the -00 files of every kind, then the -01 ones, ...
    mapfile -t names < <(cd "$samples" && ls -- *-??.??? | awk -F- '{ print $2 " " $0 }' | sort | cut -d' ' -f2)
    : >/tmp/placed
    i=0
    for n in "${names[@]}"; do
        folder=DOCS; ((i % 2)) && folder=DCIM
        cp "$samples/$n" /mnt/card/$folder/$n
        echo "$folder/$n" >>/tmp/placed
        i=$((i + 1))
    done
    sync
    python3 "$work/exfat-extents.py" /mnt/card </tmp/placed >/tmp/extents.before ||
        bad "extents of the written files"

    # The cut, then the newcomer into the freed clusters after a fresh mount.
    cut=$(grep "/$overwritten\$" /tmp/placed)
    truncate -s $((2 * cluster)) /mnt/card/$cut
    umount /mnt/card && mount -t exfat $P /mnt/card || { bad "remount"; finish; }
    cp "$samples/$newcomer" /mnt/card/DCIM/NEW.JPG
    sync
    echo DCIM/NEW.JPG | python3 "$work/exfat-extents.py" /mnt/card >/tmp/extents.new ||
        bad "extent of the newcomer"

    # A quarter deleted, and the cut file.
    grep -vxF "$cut" /tmp/placed | awk 'NR % 4 == 2' >/tmp/deleted
    echo "$cut" >>/tmp/deleted
    while read -r f; do rm "/mnt/card/$f"; done </tmp/deleted
    echo "    $(wc -l </tmp/placed) files written, $(wc -l </tmp/deleted) deleted, one written over"
    umount /mnt/card || bad "umount"
    fsck.exfat -n $P >/tmp/fsck.log 2>&1 && ok "fsck.exfat: the file system is consistent" ||
        { bad "fsck.exfat"; sed 's/^/    | /' /tmp/fsck.log; }

    "$cli" recover "$D" --out "$work/found" --json >"$work/recover.json" 2>/tmp/recover.err; rc=$?
    tail -3 /tmp/recover.err | sed 's/^/    | /'
    expect "recover: exit code" "$rc" 0
    python3 - "$samples" "$overwritten" "$newcomer" /tmp/extents.before /tmp/extents.new /tmp/deleted \
        "$work/recover.json" "$work/found" <<'PY'
import hashlib, json, os, sys
samples, overwritten, newcomer, before, new, deleted, report, found = sys.argv[1:9]
fails = 0
def check(what, good, detail=""):
    global fails
    print(("PASS: " if good else "FAIL: ") + what)
    if not good:
        fails += 1
        if detail:
            print("    " + detail)
def extents(path):
    with open(path) as f:
        return {name: (int(sector), contiguous == "1") for name, sector, contiguous in (l.split() for l in f)}
placed, newer = extents(before), extents(new)
gone = set(open(deleted).read().split())
sha = lambda data: hashlib.sha256(data).hexdigest()
sample = lambda name: open(os.path.join(samples, os.path.basename(name)), "rb").read()
rows = json.load(open(report))["result"]["files"]
saved = {}
for r in rows:
    data = open(os.path.join(found, r["name"]), "rb").read()
    saved[r["sector"]] = (r, sha(data))

cut_name = next(n for n in placed if n.endswith("/" + overwritten))
cut_sector = placed[cut_name][0]
new_sector = newer["DCIM/NEW.JPG"][0]
cut_end = cut_sector + (len(sample(overwritten)) + 511) // 512
check("the driver wrote every file in one run of clusters", all(c for _, c in list(placed.values()) + list(newer.values())))
check("the newcomer lies in the clusters the cut freed", cut_sector + 2 * 32768 // 512 <= new_sector < cut_end,
      f"cut file at {cut_sector}..{cut_end}, newcomer at {new_sector}")

lost = []
for name, (sector, _) in sorted(placed.items(), key=lambda kv: kv[1][0]):
    if name == cut_name:
        continue
    got = saved.get(sector)
    if got is None or got[1] != sha(sample(name)):
        lost.append(f"{name} at {sector}: " + ("not found" if got is None else f"found as {got[0]['kind']} of {got[0]['length']} bytes"))
live = [n for n in placed if n not in gone]
check(f"every live and every intact deleted file byte-exact from its sector ({len(placed) - 1 - len(lost)} of {len(placed) - 1}; "
      f"{len(live)} live, {len(gone) - 1} deleted)", not lost, "; ".join(lost))
behind = [n for n in placed if placed[n][0] > cut_sector]
check(f"files behind the overwritten one come back ({len(behind)})", not [l for l in lost if l.split(" at ")[0] in behind])
got = saved.get(new_sector)
check("the picture written over the deleted file comes back byte-exact", got is not None and got[1] == sha(sample(newcomer)))
got = saved.get(cut_sector)
if got is None:
    check("the overwritten file is not listed", True)
else:
    r = got[0]
    end = cut_sector + (r["length"] + 511) // 512
    check(f"the overwritten file is not listed whole ({r['kind']}, {r['length']} of {len(sample(overwritten))} bytes)",
          r["length"] != len(sample(overwritten)))
    check("the overwritten file does not reach into the picture written over it", end <= new_sector,
          f"listed up to sector {end}, picture at {new_sector}")
print(f"python: {fails} failed")
sys.exit(1 if fails else 0)
PY
    [[ $? -eq 0 ]] && ok "recovered files as written" || bad "recovered files differ from what was written"
    finish
fi

run=$1 cli=$2 samples=$3 work=$4
. "$(dirname "${BASH_SOURCE[0]}")/host-lib.sh"
require_guest_kit "$run"
command -v mkfs.exfat >/dev/null || { echo "SKIP: mkfs.exfat is missing (exfatprogs, scripts/setup)"; exit 77; }
mkdir -p "$work"
work=$(readlink -f "$work")
here=$(dirname "$(readlink -f "$0")")
self=$(stage_guest_script "$(readlink -f "$0")" "$work" "$here/exfat-extents.py")
guest_shares "$work" "$(dirname "$(readlink -f "$cli")")" "$samples"
# A used card: old bytes everywhere (the same every run).
rm -rf "$work/x1.img" "$work/found" "$work/recover.json"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(9).randbytes(64 << 20))' >"$work/x1.img"
exec "$run" --timeout 280 "${shares[@]}" \
    --stick "$work/x1.img,vendor=ACME,product=Card,serial=EX0001" \
    -- bash "$self" guest "$cli" "$(readlink -f "$samples")" "$work"
