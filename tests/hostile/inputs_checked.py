#!/usr/bin/env python3
"""What the tool reads is checked before it is trusted: a restore source
that is not an image (empty, not whole sectors, a FIFO, a device, a
directory) is refused before the drive is touched; a compressed image that
fails its own check (gzip, xz, zstd, bzip2; flipped bytes or cut short) is
refused with the drive's state named and never counted as verified; a
read-only image serves every command that only reads."""
import json, os, subprocess, tempfile

from outputs_rig import check, done, run, sha, write

with tempfile.TemporaryDirectory() as folder:
    drive = os.path.join(folder, "drive.img")
    write(drive, os.urandom(8 << 20))
    untouched = sha(drive)

    def restore(source):
        p = run("restore", "--image", drive, source, "--yes", "--json")
        try:
            result = json.loads(p.stdout)
        except ValueError:
            result = {}
        return p, result

    def at(name):
        return os.path.join(folder, name)

    write(at("empty.img"), b"")
    write(at("text.img"), b"a text file, not an image, 32 b\n")
    write(at("tail.img"), os.urandom((1 << 20) + 100))
    os.mkfifo(at("fifo"))
    os.mkdir(at("folder"))
    refusals = {
        at("empty.img"): "the image is empty, it holds no sector: " + at("empty.img"),
        at("text.img"): "the image is not a whole number of sectors: %s (32 bytes, and a sector is 512 bytes)"
        % at("text.img"),
        at("tail.img"): "(1048676 bytes, and a sector is 512 bytes)",
        at("fifo"): "an image must be a plain file; this is a FIFO: " + at("fifo"),
        "/dev/zero": "an image must be a plain file; this is a character device: /dev/zero",
        at("folder"): "an image must be a plain file; this is a directory: " + at("folder"),
    }
    for source, words in refusals.items():
        p, result = restore(source)
        check("not an image, refused with the drive untouched: " + os.path.basename(source),
              p.returncode == 3 and words in p.stderr and result.get("result", {}).get("verified") is False
              and sha(drive) == untouched)

    good = at("good.img")
    write(good, os.urandom(2 << 20))
    tools = {"gz": ["gzip", "-c"], "xz": ["xz", "-c"], "zst": ["zstd", "-qc"], "bz2": ["bzip2", "-c"]}
    for ext, tool in tools.items():
        with open(good, "rb") as f:
            stream = subprocess.run(tool, stdin=f, capture_output=True).stdout
        middle = len(stream) // 2
        flipped = stream[:middle] + bytes(b ^ 0xFF for b in stream[middle:middle + 16]) + stream[middle + 16:]
        for kind, damaged in (("flipped", flipped), ("cut short", stream[: len(stream) * 3 // 4])):
            source = at("damaged.img." + ext)
            write(source, damaged)
            p, result = restore(source)
            check("%s %s: refused, its check named, nothing written, not verified" % (ext, kind),
                  p.returncode == 3
                  and "the compressed image failed its integrity check: " + source in p.stderr
                  and "nothing was written to the drive" in p.stderr
                  and result.get("result", {}).get("verified") is False and sha(drive) == untouched)
        write(at("whole.img." + ext), stream)
        p, result = restore(at("whole.img." + ext))
        check(ext + " whole: restored and verified as before",
              p.returncode == 0 and result.get("result", {}).get("verified") is True)
        untouched = sha(drive)

    # An image the user may only read, as an unprivileged user where this
    # runs as root (the mode alone does not stop root).
    readonly = at("readonly.img")
    write(readonly, os.urandom(2 << 20))
    os.chmod(readonly, 0o444)
    os.chmod(folder, 0o755)
    as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    cli = run.__globals__["cli"]
    env = run.__globals__["env"]
    for command in (["info"], ["sector", "0"], ["recover", "--list-only"]):
        p = subprocess.run(as_user + [cli, *command, "--image", readonly], capture_output=True, text=True, env=env)
        check("read-only image serves " + command[0], p.returncode == 0)
    p = subprocess.run(as_user + [cli, "restore", "--image", readonly, good, "--yes"],
                       capture_output=True, text=True, env=env)
    check("read-only image refuses a restore, named", p.returncode == 3 and "cannot open " + readonly in p.stderr)

done()
