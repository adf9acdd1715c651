#!/usr/bin/env python3
"""No output lands on an input: a report is never written over the image
being examined or the backup being made, and an image file attached to a
loop device and mounted is that drive, so a recovery folder, a backup, a
report or a restore source inside its file system is refused before
anything is read or written."""
import os, tempfile

from outputs_rig import case, check, done, entries, loop_mounted, run, sh, sha, write

with tempfile.TemporaryDirectory() as folder:
    # An image that happens to carry a report's extension.
    examined = os.path.join(folder, "card.html")
    write(examined, os.urandom(2 << 20))
    before = sha(examined)
    p = run("errorscan", "--image", examined, "--report", examined)
    forced = run("errorscan", "--image", examined, "--report", examined, "--force")
    check("--report over the image being examined: refused with or without --force, image untouched",
          p.returncode == 2 and forced.returncode == 3
          and "will not write onto the drive being worked on: " + examined in forced.stderr
          and sha(examined) == before)

    card = os.path.join(folder, "card.img")
    write(card, os.urandom(2 << 20))
    backup = os.path.join(folder, "backup.html")
    p = run("backup", "--image", card, backup, "--report", backup)
    check("--report over the backup being made: refused before the run (exit 2), nothing written",
          p.returncode == 2 and "would be written over " + backup in p.stderr and not os.path.exists(backup))

    with case("a loop-mounted image"):
        image = os.path.join(folder, "mounted.img")
        mount_point = os.path.join(folder, "mnt")
        with loop_mounted(image, mount_point) as fsck:
            source = os.path.join(mount_point, "old.qvn")
            write(source, os.urandom(1 << 20))
            os.sync()
            inside = entries(mount_point)
            rescued = os.path.join(mount_point, "rescued")
            p = run("recover", "--image", image, "--out", rescued)
            check("recovery into the image's own file system: refused before the scan (exit 3), named",
                  p.returncode == 3 and "will not write onto the drive being worked on: " + rescued in p.stderr
                  and "files " not in p.stdout)
            p = run("backup", "--image", image, os.path.join(mount_point, "b.qvn"))
            check("backup into it: refused (exit 3)",
                  p.returncode == 3 and "the image lies on the drive being worked on: " in p.stderr)
            p = run("info", "--image", image, "--report", os.path.join(mount_point, "r.html"))
            check("report into it: refused before the run (exit 3)",
                  p.returncode == 3 and "will not write onto the drive being worked on" in p.stderr)
            p = run("restore", "--image", image, source, "--yes")
            check("restore from a file inside it: refused (exit 3), named",
                  p.returncode == 3 and ("the image lies on the drive being worked on: " + source in p.stderr
                                         or image + " is mounted (" + mount_point + ")" in p.stderr))
            check("the mounted file system holds what it held", entries(mount_point) == inside)
        checked = sh(*fsck)
        check("the image's file system is whole (%s)" % fsck[0], checked.returncode == 0)

done()
