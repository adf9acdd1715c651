#!/usr/bin/env python3
"""The tool never unlinks, truncates or replaces what it did not make in the
run: a device node, a named pipe or a symbolic link named as the output
survives a refused backup or report; an old backup and its checksum survive
a --force backup that fails on a full file system; recovery into a folder
that holds files already keeps them, and two deleted files of one name from
different folders both come back."""
import os, stat, subprocess, tempfile

from outputs_rig import SAMPLES, case, check, done, entries, fat_with_deleted, need_root, read, run, tmpfs, write

with tempfile.TemporaryDirectory() as folder:
    medium = os.path.join(folder, "stick.img")
    content = os.urandom(3 << 20)
    write(medium, content)
    sectors = len(content) // 512 - 1  # an image drive's last sector is its capacity

    with case("a device node as the backup"):
        need_root()
        node = os.path.join(folder, "null")
        os.mknod(node, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        p = run("backup", "--image", medium, node, "--force")
        check("device node as FILE: refused by name (exit 3)",
              p.returncode == 3 and node + " (a device node, not a regular file)" in p.stderr)
        check("device node as FILE: still the same node",
              os.path.lexists(node) and stat.S_ISCHR(os.lstat(node).st_mode) and os.lstat(node).st_rdev == os.makedev(1, 3))

    # Opening a pipe for writing waits for a reader: a tool that tries it hangs.
    pipe = os.path.join(folder, "pipe.qvn")
    os.mkfifo(pipe)
    try:
        p = run("backup", "--image", medium, pipe, "--force", timeout=30)
        refused = p.returncode == 3 and pipe + " (a named pipe)" in p.stderr
    except subprocess.TimeoutExpired:
        refused = False
    check("named pipe as FILE: refused by name (exit 3), still a pipe",
          refused and os.path.lexists(pipe) and stat.S_ISFIFO(os.lstat(pipe).st_mode))

    victim = os.path.join(folder, "notes.txt")
    write(victim, b"the user's notes")
    link = os.path.join(folder, "link.qvn")
    os.symlink(victim, link)
    p = run("backup", "--image", medium, link, "--force")
    check("symbolic link as FILE: refused, the file it points to untouched",
          p.returncode == 3 and link + " (a symbolic link" in p.stderr and read(victim) == b"the user's notes"
          and os.path.islink(link))
    page = os.path.join(folder, "link.html")
    os.symlink(victim, page)
    p = run("info", "--image", medium, "--report", page)
    check("existing --report target without --force: refused before the run (exit 2), untouched",
          p.returncode == 2 and "exists; add --force" in p.stderr and read(victim) == b"the user's notes")

    with case("a --force backup on a full file system"):
        with tmpfs("4m") as small:
            # An old backup of a 1 MiB card; the stick now backed up needs
            # more room than the file system has at all.
            card = os.path.join(folder, "small.img")
            write(card, os.urandom(1 << 20))
            big = os.path.join(folder, "big.img")
            write(big, os.urandom(5 << 20))
            image = os.path.join(small, "stick.qvn")
            p = run("backup", "--image", card, image)
            check("the old backup fits", p.returncode == 0)
            before = read(image)
            p = run("backup", "--image", big, image, "--force")
            check("a backup too large for the file system: exit 3, the file and the error named",
                  p.returncode == 3 and "not enough free space for " + image in p.stderr
                  and "No space left on device" in p.stderr)
            check("the old backup and its checksum stay and still check",
                  read(image) == before and subprocess.run(["sha256sum", "--quiet", "-c", "stick.qvn.sha256"],
                                                           cwd=small, capture_output=True).returncode == 0)
            check("nothing else is left in the folder", entries(small) == ["stick.qvn", "stick.qvn.sha256"])

    # Two photos in a card's image; the folder holds an earlier run's file
    # of the first name and the user's own.
    card = os.path.join(folder, "card.img")
    photos = [read(os.path.join(SAMPLES, name)) for name in ("jpg-00.jpg", "jpg-01.jpg")]
    with open(card, "wb") as f:
        f.truncate(4 << 20)
        f.seek(100 * 512)
        f.write(photos[0])
        f.seek(2000 * 512)
        f.write(photos[1])
    out = os.path.join(folder, "rescued")
    os.mkdir(out)
    write(os.path.join(out, "00000001.jpg"), b"an earlier run")
    write(os.path.join(out, "holiday.jpg"), b"the user's own")
    for round in (1, 2):
        p = run("recover", "--image", card, "--out", out, "--kind", "jpg")
        check("recovery into a folder with files, round %d: completed" % round, p.returncode == 0)
    check("the files already there are kept",
          read(os.path.join(out, "00000001.jpg")) == b"an earlier run"
          and read(os.path.join(out, "holiday.jpg")) == b"the user's own")
    check("each run's files are numbered on past them",
          [read(os.path.join(out, "%08d.jpg" % n)) for n in (2, 3, 4, 5)] == photos + photos
          and len(entries(out)) == 6)

    with case("deleted files of one name in two folders"):
        fat = os.path.join(folder, "fat.img")
        fat_with_deleted(fat, {"A/PHOTO3.JPG": photos[0], "B/PHOTO3.JPG": photos[1]})
        out = os.path.join(folder, "deleted")
        p = run("recover", "--image", fat, "--directory-mode", "--out", out)
        check("directory mode: both deleted PHOTO3.JPG listed",
              p.returncode == 0 and "A\\_HOTO3  .JPG" in p.stdout and "B\\_HOTO3  .JPG" in p.stdout)
        check("directory mode: saved under trimmed names that do not collide",
              os.path.isdir(out) and entries(out) == ["_HOTO3-2.JPG", "_HOTO3.JPG"]
              and read(os.path.join(out, "_HOTO3.JPG")) == photos[0]
              and read(os.path.join(out, "_HOTO3-2.JPG")) == photos[1])

done()
