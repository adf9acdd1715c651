# An nbdkit plugin (python) for a stick that claims more than it holds:
# the export is `size` bytes long, but only the bytes of `file` exist, and
# byte offset o lands on o mod (length of file), as on flash whose
# controller ignores the high address bits.
#
#   nbdkit --unix S.sock python wrap-plugin.py file=REAL.img size=BYTES
import os

API_VERSION = 2

path = None
claimed = None


def config(key, value):
    global path, claimed
    if key == "file":
        path = value
    elif key == "size":
        claimed = int(value)
    else:
        raise RuntimeError("unknown parameter " + key)


def config_complete():
    if path is None or claimed is None:
        raise RuntimeError("file= and size= are needed")


def open(readonly):
    fd = os.open(path, os.O_RDONLY if readonly else os.O_RDWR)
    return {"fd": fd, "real": os.fstat(fd).st_size}


def close(h):
    os.close(h["fd"])


def get_size(h):
    return claimed


def pieces(h, offset, length):
    done = 0
    while done < length:
        at = (offset + done) % h["real"]
        piece = min(length - done, h["real"] - at)
        yield done, at, piece
        done += piece


def pread(h, buf, offset, flags):
    for done, at, piece in pieces(h, offset, len(buf)):
        buf[done:done + piece] = os.pread(h["fd"], piece, at)


def pwrite(h, buf, offset, flags):
    for done, at, piece in pieces(h, offset, len(buf)):
        os.pwrite(h["fd"], buf[done:done + piece], at)


def flush(h, flags):
    os.fdatasync(h["fd"])
