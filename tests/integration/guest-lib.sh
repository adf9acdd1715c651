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

# Runs a command as the unprivileged user "nobody", in English.
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp QUORVANE_LANG=en "$@"; }

# Starts the system bus, polkit and udisks2 as a desktop session has them.
start_disk_services() {
    mkdir -p /run/dbus
    dbus-daemon --system --fork || return 1
    /usr/lib/polkit-1/polkitd --no-debug >/tmp/polkitd.log 2>&1 &
    /usr/libexec/udisks2/udisksd --no-debug >/tmp/udisksd.log 2>&1 &
    for _ in $(seq 100); do
        if dbus-send --system --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.ListNames 2>/dev/null |
            grep -q org.freedesktop.UDisks2 && [[ -e /tmp/polkitd.log ]] && pgrep -x polkitd >/dev/null; then
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# Lets "nobody" use the disk service, as an administrator's rule would, and
# restarts polkit to read it.
allow_nobody_disks() {
    mkdir -p /etc/polkit-1/rules.d
    cat >/etc/polkit-1/rules.d/50-quorvane-test.rules <<'RULE'
polkit.addRule(function(action, subject) {
    if (subject.user == "nobody" && action.id.indexOf("org.freedesktop.udisks2.") == 0)
        return polkit.Result.YES;
});
RULE
    pkill -x polkitd
    sleep 0.5
    /usr/lib/polkit-1/polkitd --no-debug >>/tmp/polkitd.log 2>&1 &
    sleep 1
}
