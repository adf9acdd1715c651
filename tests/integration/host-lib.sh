# Helpers shared by the host halves of the integration scripts.

# Exits 77 (skipped) unless the emulated-USB guest kit is set up: its run
# script $1, its cached image and QEMU.
require_guest_kit() {
    local cache=${USBVM_CACHE:-${XDG_CACHE_HOME:+$XDG_CACHE_HOME/usbvm}}
    cache=${cache:-/var/cache/usbvm}
    if [[ ! -x $1 || ! -e $cache/current ]] || ! command -v qemu-system-x86_64 >/dev/null; then
        echo "SKIP: the emulated-USB guest kit is not set up ($1, $cache/current, qemu-system-x86_64)"
        exit 77
    fi
}

# Sets the array `shares` to the --share options the guest needs to reach
# the folders given: the guest has its own /tmp, /var/tmp, /run and
# /dev/shm, so a folder there (a build tree under /tmp) is shared; the
# first folder (the work folder) always is. Parents first, so that a folder
# inside one already shared is not shared again.
guest_shares() {
    local work=$1 d s covered
    shares=()
    while read -r d; do
        if [[ $d != "$work" ]]; then
            case $d/ in
            /tmp/* | /var/tmp/* | /run/* | /dev/shm/*) ;;
            *) continue ;;
            esac
        fi
        covered=0
        for s in "${shares[@]}"; do
            [[ $s == --share || $d/ != "$s"/* ]] || covered=1
        done
        [[ $covered == 1 ]] || shares+=(--share "$d")
    done < <(for d in "$@"; do readlink -f "$d"; done | awk '{ print length($0) " " $0 }' | sort -n | cut -d' ' -f2-)
}

# Copies the guest half (script $1 and guest-lib.sh, plus any further
# files) into the work folder $2, which the guest reaches; prints the copy
# of the script.
stage_guest_script() {
    local self=$1 work=$2
    shift 2
    cp "$self" "$(dirname "$self")/guest-lib.sh" "$@" "$work/"
    echo "$work/$(basename "$self")"
}
