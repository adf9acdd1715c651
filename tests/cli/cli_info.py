#!/usr/bin/env python3
"""The command-line tool's info and usb commands on an image file made by
mkfs: the figures of the JSON object and the texts in both languages."""
import json, os, subprocess, sys, tempfile

cli = sys.argv[1]
failed = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failed.append(what)


def run(lang, *args):
    env = dict(os.environ, QUORVANE_LANG=lang, PATH="/usr/sbin:/sbin:" + os.environ.get("PATH", ""))
    return subprocess.run([cli, *args], capture_output=True, text=True, env=env, timeout=120)


with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "card.img")
    with open(image, "wb") as f:
        f.truncate(48 << 20)
    subprocess.run(["mkfs.vfat", "-F", "32", "-n", "CARD48", image], check=True, capture_output=True,
                   env=dict(os.environ, PATH="/usr/sbin:/sbin:" + os.environ.get("PATH", "")))

    p = run("en", "info", "--image", image, "--json")
    lines = p.stdout.splitlines()
    check("info json: one line, exit code 0", len(lines) == 1 and p.returncode == 0)
    info = json.loads(lines[0]) if len(lines) == 1 else {}
    last = (48 << 20) // 512 - 1
    check("info json: capacity counts every block, the last one too", [info.get(k) for k in
          ("capacity_lba", "capacity_sectors", "capacity_bytes", "capacity_mb", "capacity_text")] ==
          [last, last + 1, 48 << 20, 50, "50 MB"])
    check("info json: file system and label from the medium",
          info.get("volume") == {"file_system": "FAT32", "label": "CARD48", "space": None})
    check("info json: the drive", info.get("drive", {}).get("path") == image)

    p = run("ru", "info", "--image", image)
    check("info text in Russian", "Файловая система:      FAT32" in p.stdout and "Метка:                 CARD48" in p.stdout
          and "секторов" in p.stdout)
    p = run("en", "info", "--image", image)
    check("info text in English", "File system:           FAT32" in p.stdout and "no data" in p.stdout)

    p = run("en", "usb", "--image", image, "--json")
    usb = json.loads(p.stdout) if p.returncode == 0 else {}
    check("usb json: a tree, and no USB device for an image",
          isinstance(usb.get("controllers"), list) and usb.get("selected_device") is None
          and usb.get("drive", {}).get("path") == image)

p = run("en", "info")
check("info without a drive: exit code 2", p.returncode == 2)
p = run("en", "usb", "one", "two")
check("usb with two drives: exit code 2", p.returncode == 2)

sys.exit(1 if failed else 0)
