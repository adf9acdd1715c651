#!/usr/bin/env python3
"""A stop by SIGINT, SIGTERM or SIGHUP ends a run after the block in
progress and says what state it left, and the words match the drive's
bytes; a file-size limit fails a run with the file named instead of
killing the tool; a full host file system under an image drive fails the
run naming the image, and counts nothing against the medium."""
import json, os, re, resource, signal, subprocess, tempfile

from outputs_rig import case, check, clitest, done, run, stopped_by, tmpfs, write

MIB = 1 << 20


def stop_reported(what, sig, proc, sent, result):
    """The common part of every stop: exit 3, stopped with the signal's
    name, the state on stderr and in --json alike. The state line."""
    state = result.get("drive_state", "")
    check("%s: %s mid-run ends it with exit 3, stopped, named" % (what, sig.name),
          sent and proc.returncode == 3 and result.get("outcome") == "stopped" and result.get("stopped") is True
          and result.get("signal") == sig.name)
    check("%s: the state is printed and in --json alike" % what, state != "" and state in proc.stderr_text)
    return state


def stick(path, data, size=512 * MIB):
    """An image of data followed by an unwritten (sparse) rest: long enough
    that a busy machine still sends the signal mid-run."""
    with open(path, "wb") as f:
        f.write(data)
        f.truncate(size)


def start_of(path, length):
    with open(path, "rb") as f:
        return f.read(length)


with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/var/tmp")) as folder:
    old = os.urandom(64 * MIB)
    drive = os.path.join(folder, "stick.img")
    sectors = (512 * MIB) // 512

    # Erase: the zeroed prefix the stop names is zero, every sector after it
    # keeps its old bytes.
    for sig in (signal.SIGINT, signal.SIGHUP):
        stick(drive, old)
        state = stop_reported("erase", sig, *stopped_by(sig, "erase", "--image", drive, "--full", "--yes"))
        m = re.search(r"Sectors 0 to (\d+) of (\d+) were zeroed; the rest holds its old data", state)
        check("erase (%s): the state names the zeroed sectors: %r" % (sig.name, state), m is not None)
        if m:
            end = (int(m.group(1)) + 1) * 512
            data = start_of(drive, len(old))
            check("erase (%s): sectors 0 to %s are zero, the rest is as it was" % (sig.name, m.group(1)),
                  int(m.group(2)) == sectors and 16 * MIB <= end < len(old)
                  and data[:end] == bytes(end) and data[end:] == old[end:])

    # Restore: the sectors it says it rewrote hold the image, the rest of
    # the drive its old bytes (sectors 0 to 1024 were zeroed first).
    source = os.path.join(folder, "backup.img")
    image = os.urandom(48 * MIB)
    stick(source, image, 256 * MIB)
    for sig in (signal.SIGTERM, signal.SIGINT):
        stick(drive, old)
        state = stop_reported("restore", sig, *stopped_by(sig, "restore", "--image", drive, source, "--yes"))
        m = re.search(r"(\d+) of (\d+) sectors were rewritten from the image", state)
        check("restore (%s): the state names the sectors rewritten: %r" % (sig.name, state), m is not None)
        if m:
            end = int(m.group(1)) * 512
            data = start_of(drive, len(old))
            check("restore (%s): %s sectors hold the image, the rest the old data" % (sig.name, m.group(1)),
                  int(m.group(2)) == (256 * MIB) // 512 and 1025 * 512 < end < len(image)
                  and data[:end] == image[:end] and data[end:] == old[end:])

    # Backup: the state names the part kept, as --json does.
    stick(drive, old)
    target = os.path.join(folder, "saved.img")
    proc, sent, result = stopped_by(signal.SIGTERM, "backup", "--image", drive, target, counter="rchar")
    state = stop_reported("backup", signal.SIGTERM, proc, sent, result)
    partial = (result.get("result") or {}).get("partial") or {}
    check("backup: the state says the drive is unchanged and names the part as --json does",
          "The drive was only read; it is unchanged." in state and partial.get("sectors", 0) > 0
          and "%d sectors read are kept in %s" % (partial["sectors"], partial.get("file")) in state
          and start_of(drive, len(old)) == old)

    # A file-size limit: the write fails with EFBIG (SIGXFSZ would kill the
    # tool without a word); the run fails naming the file.
    write(drive, old[:16 * MIB])
    target = os.path.join(folder, "target.img")

    def limit():
        resource.setrlimit(resource.RLIMIT_FSIZE, (4 * MIB, 4 * MIB))

    proc = subprocess.run([clitest.cli, "backup", "--image", drive, target, "--json"], capture_output=True,
                          text=True, env=clitest.env, preexec_fn=limit, timeout=120)
    try:
        result = json.loads(proc.stdout.splitlines()[-1])
    except (ValueError, IndexError):
        result = {}
    check("file-size limit: backup fails with exit 3 instead of being killed (was %d)" % proc.returncode,
          proc.returncode == 3 and result.get("outcome") == "failed")
    check("file-size limit: the failure names the file and the limit: %r" % result.get("failure"),
          target in result.get("failure", "") and "file size limit" in result.get("failure", "")
          and target in proc.stderr)

# A full host file system under an image drive: a few MiB of tmpfs holding
# a sparse image that claims 64 MiB.
source = tempfile.NamedTemporaryFile(dir=os.environ.get("TMPDIR", "/var/tmp"), suffix=".img")
source.write(os.urandom(16 * MIB))
source.flush()
for command in (["probe", "--flush", "1"], ["errorscan", "--write", "--yes"], ["erase", "--full", "--yes"],
                ["restore", source.name, "--no-verify", "--yes"]):
    with case("%s on an image on a full host file system" % command[0]):
        with tmpfs("4m") as small:
            drive = os.path.join(small, "sparse.img")
            with open(drive, "wb") as f:
                f.truncate(64 * MIB)
            proc = run(command[0], "--image", drive, *command[1:], "--json")
            try:
                result = json.loads(proc.stdout.splitlines()[-1])
            except (ValueError, IndexError):
                result = {}
            failure = result.get("failure", "")
            figures = result.get("result", {})
            check("%s: exit 3, failed, naming the image and the host's error: %r" % (command[0], failure),
                  proc.returncode == 3 and result.get("outcome") == "failed" and drive in failure
                  and "No space left on device" in failure and "not of the medium" in failure)
            if command[0] == "probe":
                check("probe: no verdict and no sector said to hold probe data",
                      figures.get("verdict") == "" and figures.get("unrestored_sectors") == 0
                      and "real capacity" not in proc.stdout + proc.stderr
                      and "hold probe data" not in proc.stdout + proc.stderr)
            elif command[0] == "errorscan":
                check("errorscan: the host's refusal is no write error of the medium",
                      figures.get("write_errors") == 0)

done()
