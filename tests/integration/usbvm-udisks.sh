#!/usr/bin/env bash
# Access without root on a real kernel: boots the emulated-USB guest with
# the system bus, polkit and udisks2 running, and works on two sticks as
# the unprivileged user "nobody".
#
#   usbvm-udisks.sh RUN CLI CHECKER GUI WORK
#
# - the user's list shows both sticks, from the kernel's record, though
#   the user cannot open them;
# - without a policy rule the write test is refused with a message that
#   says what to do, and nothing reaches the medium;
# - with a rule that lets the user open removable drives, the write test
#   runs through the descriptor udisks2 hands over and the medium holds the
#   pattern, a stick whose writes vanish is caught (the read-back bypasses
#   the page cache), and a stick with a mounted file system is unmounted
#   first;
# - the main window, run by the same user under Xvfb, lists the stick and
#   formats it with FAT through udisks2.
# WORK must be on the host disk. Exits 77 when the guest kit or udisks2 is
# not there.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/guest-lib.sh"

if [[ ${1:-} == guest ]]; then
    cli=$2 checker=$3 gui=$4
    A=$(disk_with_serial UD0001) M=$(disk_with_serial UD0002) Z=$(disk_with_serial UD0003)
    [[ -n $A && -n $M && -n $Z ]] && ok "three sticks found" || { bad "sticks: '$A' '$M' '$Z'"; finish; }
    start_disk_services && ok "system bus, polkit and udisks2 running" ||
        { bad "services did not start"; cat /tmp/*.log; finish; }

    out=$(as_user "$cli" list 2>&1)
    echo "$out" | sed 's/^/    | /'
    grep -q "^($A) ACME    Plain" <<<"$out" && ok "the user lists the stick it cannot open" || bad "stick $A not listed"
    grep -q "^($M) ACME    Mounted" <<<"$out" && ok "the user lists the second stick" || bad "stick $M not listed"

    # No rule: the policy refuses, the user is told what to do, nothing is written.
    printf 'KEEPME' | dd of=/dev/$A bs=512 seek=100 conv=notrunc status=none
    sync
    out=$(as_user "$cli" errorscan "$A" --write --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    [[ $rc -ne 0 ]] && ok "refused: non-zero exit ($rc)" || bad "refused: exit 0"
    grep -qi 'polkit' <<<"$out" && ok "refused: the message names the policy and what to do" ||
        bad "refused: no message about the policy"
    expect "refused: nothing written" "$(dd if=/dev/$A bs=512 skip=100 count=1 iflag=direct status=none | head -c 6)" KEEPME

    allow_nobody_disks

    out=$(as_user "$cli" errorscan "$A" --write --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "through udisks2: exit code" "$rc" 0
    sectors=$(cat /sys/block/$A/size)
    dd if=/dev/$A of=/tmp/stick.img bs=1M iflag=direct status=none
    python3 "$checker" /tmp/stick.img $sectors && ok "through udisks2: the medium holds the pattern" ||
        bad "through udisks2: medium content"
    rm -f /tmp/stick.img

    # Writes that vanish are found only when the read-back bypasses the page
    # cache: the descriptor udisks2 handed over must be a direct one.
    out=$(as_user "$cli" errorscan "$Z" --write --yes 2>&1); rc=$?
    diff=$(grep -o 'Check for errors: [0-9]*' <<<"$out" | grep -o '[0-9]*$')
    [[ $rc -eq 1 && ${diff:-0} -gt 0 ]] && ok "through udisks2: vanishing writes found ($diff bytes)" ||
        { bad "through udisks2: vanishing writes not found (exit $rc)"; echo "$out" | sed 's/^/    | /'; }

    mkfs.vfat -I /dev/$M >/dev/null && mkdir -p /mnt/m && mount /dev/$M /mnt/m
    grep -q "^/dev/$M " /proc/mounts && ok "second stick mounted" || bad "second stick not mounted"
    out=$(as_user "$cli" errorscan "$M" --write --yes 2>&1); rc=$?
    echo "$out" | sed 's/^/    | /'
    expect "mounted stick: exit code" "$rc" 0
    grep -q "^/dev/$M " /proc/mounts && bad "mounted stick: still mounted" || ok "mounted stick: unmounted before the write"

    out=$(as_user env QUORVANE_EXPECT_STICK=Mounted QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1024x768x24" "$gui" listsAndFormatsWithoutRoot 2>&1); rc=$?
    expect "window as the user: lists and formats the stick" "$rc" 0 || echo "$out" | sed 's/^/    | /'
    expect "window as the user: FAT file system made" "$(blkid -p -o value -s TYPE /dev/$M)" vfat
    expect "window as the user: label written" "$(blkid -p -o value -s LABEL /dev/$M)" USERSTICK
    finish
fi

run=$1 cli=$2 checker=$3 gui=$4 work=$5
self=$(readlink -f "$0")
cache=${USBVM_CACHE:-${XDG_CACHE_HOME:+$XDG_CACHE_HOME/usbvm}}
cache=${cache:-/var/cache/usbvm}
if [[ ! -x $run || ! -e $cache/current ]] || ! command -v qemu-system-x86_64 >/dev/null; then
    echo "SKIP: the emulated-USB guest kit is not set up"
    exit 77
fi
if [[ ! -x /usr/libexec/udisks2/udisksd || ! -x /usr/lib/polkit-1/polkitd ]] || ! command -v dbus-daemon >/dev/null; then
    echo "SKIP: udisks2, polkitd or dbus is not installed"
    exit 77
fi
mkdir -p "$work"
work=$(readlink -f "$work")
cp "$self" "$work/usbvm-udisks.sh"
cp "$(dirname "$self")/guest-lib.sh" "$work/guest-lib.sh"
cp "$checker" "$work/check-pattern.py"
shares=(--share "$work")
# The build tree holds the tool and the window test.
clidir=$(dirname "$(dirname "$(dirname "$(readlink -f "$cli")")")")
case $clidir/ in
/tmp/* | /var/tmp/* | /run/* | /dev/shm/*)
    [[ $work/ == "$clidir"/* ]] && shares=(--share "$clidir") || shares+=(--share "$clidir") ;;
esac
rm -f "$work"/u*.img
truncate -s 24M "$work/u1.img"
truncate -s 24M "$work/u2.img"
"$run" --timeout 280 --udevd "${shares[@]}" \
    --stick "$work/u1.img,vendor=ACME,product=Plain,serial=UD0001" \
    --stick "$work/u2.img,vendor=ACME,product=Mounted,serial=UD0002" \
    --stick-drive "z:driver=null-co,size=16777216,read-zeroes=on" \
    --stick "drive=z,vendor=ACME,product=Null,serial=UD0003" \
    -- bash "$work/usbvm-udisks.sh" guest "$cli" "$work/check-pattern.py" "$gui"
