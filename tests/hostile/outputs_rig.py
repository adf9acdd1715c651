"""What the hostile cases about the tool's outputs share: the command-line
tool and the ok/FAIL lines of tests/cli/clitest.py, counted skips (a case
that needs root, a loop device or a tmpfs says so and is skipped), and
file systems of their own: a tmpfs of a given size, an image mounted
through a loop device, a FAT image with deleted files."""
import contextlib, hashlib, json, os, signal, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
import clitest  # noqa: E402
from clitest import run  # noqa: E402,F401

skipped = []
checked = []
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "recovery")


class Skip(Exception):
    pass


def check(what, ok):
    checked.append(what)
    clitest.check(what, ok)


def skip(what):
    print("skip " + what)
    skipped.append(what)


@contextlib.contextmanager
def case(what):
    """A group of checks that may need what the machine cannot give."""
    try:
        yield
    except Skip as why:
        skip("%s: %s" % (what, why))


def need_root():
    if os.geteuid() != 0:
        raise Skip("needs root")


def sh(*args):
    return subprocess.run(args, capture_output=True, text=True)


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def read(path):
    """The file's bytes; None when it is not there (a case of old code)."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def entries(folder):
    return sorted(os.listdir(folder))


@contextlib.contextmanager
def tmpfs(size):
    """A folder on a tmpfs of that size (mount(8) size=), removed after."""
    need_root()
    with tempfile.TemporaryDirectory() as folder:
        if sh("mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder).returncode != 0:
            raise Skip("cannot mount a tmpfs")
        try:
            yield folder
        finally:
            sh("umount", folder)


@contextlib.contextmanager
def loop_mounted(image, mount_point, megabytes=16):
    """image made a file system (ext4, else FAT where the kernel has only
    that), attached to a free loop device and mounted at mount_point;
    yields the command that checks it once unmounted."""
    need_root()
    with open(image, "wb") as f:
        f.truncate(megabytes << 20)
    with open("/proc/filesystems") as f:
        known = f.read().split()
    ext4 = "ext4" in known
    make = ["mkfs.ext4", "-q", "-F", image] if ext4 else ["mkfs.fat", image]
    fsck = ["fsck.ext4", "-fn", image] if ext4 else ["fsck.fat", "-n", image]
    if sh(*make).returncode != 0:
        raise Skip("cannot make a file system (%s)" % make[0])
    attach = sh("losetup", "-f", "--show", image)
    if attach.returncode != 0:
        raise Skip("no loop device: " + attach.stderr.strip())
    loop = attach.stdout.strip()
    try:
        os.makedirs(mount_point, exist_ok=True)
        if sh("mount", loop, mount_point).returncode != 0:
            raise Skip("cannot mount " + loop)
        try:
            yield fsck
        finally:
            sh("umount", mount_point)
    finally:
        sh("losetup", "-d", loop)


def fat_with_deleted(image, files):
    """A FAT16 image (mkfs.fat) holding files {"A/NAME.EXT": bytes}, written
    and then deleted with mtools, as a camera's card whose files were
    deleted: the entries stay, marked deleted."""
    with open(image, "wb") as f:
        f.truncate(16 << 20)
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    steps = [["mkfs.fat", "-F", "16", image]]
    for folder in sorted({name.split("/")[0] for name in files}):
        steps.append(["mmd", "-i", image, "::" + folder])
    with tempfile.TemporaryDirectory() as scratch:
        for n, (name, data) in enumerate(files.items()):
            source = os.path.join(scratch, str(n))
            write(source, data)
            steps.append(["mcopy", "-i", image, source, "::" + name])
        steps.append(["mdel", "-i", image] + ["::" + name for name in files])
        for step in steps:
            try:
                made = subprocess.run(step, capture_output=True, env=env)
            except FileNotFoundError:
                raise Skip("no " + step[0])
            if made.returncode != 0:
                raise Skip("%s failed" % step[0])


def done():
    """Exit 1 on a failure, 77 (skipped) when every case was skipped."""
    if skipped:
        print("%d skipped" % len(skipped))
    if clitest.failed:
        sys.exit(1)
    sys.exit(77 if skipped and not checked else 0)


def stopped_by(sig, *args, after=16 << 20, counter="wchar"):
    """Runs the tool with --json and sends sig once it has moved `after`
    bytes (held by SIGSTOP meanwhile, so that it cannot finish first).
    The process, whether the signal came mid-run, and its JSON object."""
    proc = subprocess.Popen([clitest.cli, *args, "--json"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, env=clitest.env)
    sent = False
    deadline = time.monotonic() + 60
    while not sent and proc.poll() is None and time.monotonic() < deadline:
        try:
            with open("/proc/%d/io" % proc.pid) as f:
                moved = int(next(line for line in f if line.startswith(counter)).split()[1])
        except (OSError, StopIteration, ValueError):
            moved = 0
        if moved >= after:
            os.kill(proc.pid, signal.SIGSTOP)
            os.kill(proc.pid, sig)
            os.kill(proc.pid, signal.SIGCONT)
            sent = True
        else:
            time.sleep(0.001)
    out, err = proc.communicate(timeout=120)
    proc.stderr_text = err
    try:
        result = json.loads(out.splitlines()[-1])
    except (ValueError, IndexError):
        result = {}
    return proc, sent, result
