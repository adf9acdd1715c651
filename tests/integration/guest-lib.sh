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
