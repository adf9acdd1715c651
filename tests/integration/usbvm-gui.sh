#!/usr/bin/env bash
# The main window's hot-plug test in the emulated-USB guest.
#   usbvm-gui.sh RUN TEST WORK [udevd]
# RUN is the guest kit's run script, TEST the GuiHotplug program, WORK a
# folder on the host disk for the stick images. Exits 77 (skipped) when the
# kit is missing.
set -uo pipefail
run=$1 test=$2 work=$3 mode=${4:-kernel}
. "$(dirname "${BASH_SOURCE[0]}")/host-lib.sh"
require_guest_kit "$run"
mkdir -p "$work"
work=$(readlink -f "$work")
rm -f "$work/gui-boot.img" "$work/gui-hot.img"
truncate -s 16M "$work/gui-boot.img"
truncate -s 32M "$work/gui-hot.img"
udevd=()
[[ $mode == udevd ]] && udevd=(--udevd)
guest_shares "$work" "$(dirname "$(readlink -f "$test")")"
exec "$run" --timeout 150 "${udevd[@]}" "${shares[@]}" \
    --stick "$work/gui-boot.img,vendor=ACME,product=Boot,serial=HG0001" \
    -e QT_QPA_PLATFORM=offscreen -e QUORVANE_WORK="$work" -- "$test"
