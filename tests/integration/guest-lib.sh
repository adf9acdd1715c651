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

# A field of the command-line tool's --json object: jfield JSON KEY...
# follows the keys of nested objects (a number indexes a list); strings
# print as they are, everything else as JSON (true, 0, [..]).
jfield() {
    python3 -c '
import json, sys
v = json.loads(sys.argv[1])
for k in sys.argv[2:]:
    v = v[int(k)] if isinstance(v, list) else v.get(k) if isinstance(v, dict) else None
print(v if isinstance(v, str) else json.dumps(v))' "$@"
}
