#!/usr/bin/env bash
# Installs the build into a scratch root and checks what a desktop and a
# package manager expect of it: the files in their places, a valid desktop
# entry and AppStream file, a manual page that names every command, and a
# Debian package with the same files and its library dependencies.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
root=$scratch/root/usr
id=org.example.quorvane
for f in bin/quorvane bin/quorvane-cli share/quorvane/quorvaneENU.qm \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/man/man1/quorvane-cli.1.gz; do
    [ -e "$root/$f" ] || fail "not installed: /usr/$f"
done

empty=$(find "$root" -type d -empty)
[ -z "$empty" ] || fail "empty folders installed: $empty"

desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net --pedantic "$root/share/metainfo/$id.metainfo.xml" >/dev/null \
    || fail "AppStream metadata invalid"

# The manual page renders without warnings and has a section for every command.
warnings=$(man --warnings -l "$root/share/man/man1/quorvane-cli.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "manual page warnings: $warnings"
page=$(MANWIDTH=100 man -l "$root/share/man/man1/quorvane-cli.1.gz" 2>/dev/null)
commands=$("$root/bin/quorvane-cli" --help | sed -n 's/^  \([a-z][a-z0-9-]*\)  .*/\1/p')
[ -n "$commands" ] || fail "quorvane-cli --help lists no command"
for c in $commands; do
    grep -qE "^   $c\$" <<<"$page" || fail "manual page has no section for '$c'"
done

(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/deb" >/dev/null)
deb=$(ls "$scratch"/deb/quorvane_*.deb)
listing=$(dpkg-deb -c "$deb")
for f in usr/bin/quorvane usr/bin/quorvane-cli usr/share/applications/$id.desktop; do
    grep -q "\./$f\$" <<<"$listing" || fail "package lacks /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6svg6; do
    grep -q "$p" <<<"$depends" || fail "package does not depend on $p: $depends"
done
echo "check-install: $(basename "$deb") and the installed tree are sound"
