#!/usr/bin/env bash
# The main window's hot-plug test in the emulated-USB guest.
#   usbvm-gui.sh RUN TEST WORK [udevd]
# RUN is the guest kit's run script, TEST the GuiHotplug program, WORK a
# folder on the host disk for the stick images. Exits 77 (skipped) when the
# kit is missing.
set -uo pipefail
run=$1 test=$2 work=$3 mode=${4:-kernel}
cache=${USBVM_CACHE:-${XDG_CACHE_HOME:+$XDG_CACHE_HOME/usbvm}}
cache=${cache:-/var/cache/usbvm}
if [[ ! -x $run || ! -e $cache/current ]] || ! command -v qemu-system-x86_64 >/dev/null; then
    echo "SKIP: the emulated-USB guest kit is not set up ($run, $cache/current, qemu-system-x86_64)"
    exit 77
fi
mkdir -p "$work"
work=$(readlink -f "$work")
rm -f "$work/gui-boot.img" "$work/gui-hot.img"
truncate -s 16M "$work/gui-boot.img"
truncate -s 32M "$work/gui-hot.img"
udevd=()
[[ $mode == udevd ]] && udevd=(--udevd)
# The guest has its own /tmp, /var/tmp, /run and /dev/shm: a test program
# built there is reached through a share; the images are always on one.
testdir=$(dirname "$(readlink -f "$test")")
shares=(--share "$work")
case $testdir/ in
/tmp/* | /var/tmp/* | /run/* | /dev/shm/*)
    if [[ $work/ == "$testdir"/* ]]; then shares=(--share "$testdir"); else shares+=(--share "$testdir"); fi
    ;;
esac
exec "$run" --timeout 150 "${udevd[@]}" "${shares[@]}" \
    --stick "$work/gui-boot.img,vendor=ACME,product=Boot,serial=HG0001" \
    -e QT_QPA_PLATFORM=offscreen -e QUORVANE_WORK="$work" -- "$test"
