# Helpers shared by the guest halves of the integration scripts: PASS/FAIL
# lines with a closing count, and finding a stick by its USB serial.
pass=0 fail=0
ok() { echo "PASS: $*"; pass=$((pass + 1)); }
bad() { echo "FAIL: $*"; fail=$((fail + 1)); }
expect() {  # expect WHAT GOT WANT
    if [[ $2 == "$3" ]]; then ok "$1"; else bad "$1"; echo "    got:  '$2'"; echo "    want: '$3'"; fi
}
finish() { echo "$pass passed, $fail failed"; [[ $fail -eq 0 ]]; exit $?; }

# The kernel name of the guest disk whose USB serial is $1.
disk_with_serial() {
    local b d u
    for b in /sys/block/sd*; do
        d=$(readlink -f "$b/device")
        u=$(readlink -f "$d/../../../..")
        [[ $(cat "$u/serial" 2>/dev/null) == "$1" ]] && { echo "${b##*/}"; return; }
    done
}

# On the host: exits 77 (skipped) unless the guest kit behind the run
# script $1 is set up.
require_usbvm_kit() {
    local cache=${USBVM_CACHE:-${XDG_CACHE_HOME:+$XDG_CACHE_HOME/usbvm}}
    cache=${cache:-/var/cache/usbvm}
    if [[ ! -x $1 || ! -e $cache/current ]] || ! command -v qemu-system-x86_64 >/dev/null; then
        echo "SKIP: the emulated-USB guest kit is not set up"
        exit 77
    fi
}
