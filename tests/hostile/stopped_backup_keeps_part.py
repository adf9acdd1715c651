#!/usr/bin/env python3
"""A backup that is stopped or fails never leaves a file under the image's
name: what it read is kept as FILE.partial, with the number of sectors it
holds said on the terminal and in --json, and no checksum file; a
compressed part is a whole stream, but no FILE.zst. A target file system
that fills up names the file and the system's error, and counts nothing
against the medium."""
import json, os, signal, subprocess, tempfile

from outputs_rig import case, check, clitest, done, entries, read, run, stopped_by, tmpfs, write


def kept(result):
    partial = result.get("result", {}).get("partial") or {}
    return partial.get("file", ""), partial.get("sectors", -1)


with tempfile.TemporaryDirectory() as folder:
    # 16 MiB of a stick's data, then an unwritten (sparse) rest: 256 MiB.
    medium = os.path.join(folder, "stick.img")
    start = os.urandom(16 << 20)
    with open(medium, "wb") as f:
        f.write(start)
        f.truncate(256 << 20)

    for compress in ([], ["--compress", "zstd"]):
        kind = "zstd" if compress else "plain"
        out = os.path.join(folder, kind)
        os.mkdir(out)
        image = os.path.join(out, "stick.qvn" + (".zst" if compress else ""))
        proc, sent, result = stopped_by(signal.SIGINT, "backup", "--image", medium, os.path.join(out, "stick.qvn"), *compress,
                                        after=8 << 20, counter="rchar")
        path, sectors = kept(result)
        check("%s backup stopped mid-run: exit 3, stopped" % kind,
              sent and proc.returncode == 3 and result.get("outcome") == "stopped")
        check("%s: no file under the image's name, no checksum file, only FILE.partial" % kind,
              entries(out) == [os.path.basename(image) + ".partial"] and path == image + ".partial")
        check("%s: the sectors kept are said on the terminal and in --json" % kind,
              sectors > 0 and "%d sectors read are kept in %s" % (sectors, path) in proc.stderr_text)
        if compress:
            tested = subprocess.run(["zstd", "-t", "-q", path], capture_output=True)
            unpacked = subprocess.run(["zstd", "-dc", path], capture_output=True).stdout
            check("zstd: the part is a whole stream of exactly those sectors",
                  tested.returncode == 0 and len(unpacked) == sectors * 512)
            data = unpacked
        else:
            data = read(path) or b""
            check("plain: the part holds exactly those sectors", len(data) == sectors * 512)
        check("%s: the part is the stick's first sectors" % kind,
              data == (start + bytes(max(0, len(data) - len(start))))[:len(data)])

    with case("a full target file system"):
        with tmpfs("2m") as small:
            noise = os.path.join(folder, "noise.img")
            write(noise, os.urandom(8 << 20))
            p = run("backup", "--image", noise, os.path.join(small, "n.qvn"), "--compress", "zstd", "--json")
            result = json.loads(p.stdout.splitlines()[-1]) if p.stdout.strip() else {}
            image = os.path.join(small, "n.qvn.zst")
            check("full file system: exit 3, the host file and the system's error named, not the medium",
                  p.returncode == 3 and "cannot write " + image + ": No space left on device" in p.stderr
                  and "cannot read" not in p.stderr)
            check("full file system: a cut stream is not kept, and that is said",
                  entries(small) == [] and kept(result) == ("", 0) and "nothing of the image was kept" in p.stderr)

done()
