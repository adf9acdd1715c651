#!/usr/bin/env python3
"""The command-line tool's --report after an error scan of an image drive:
the PDF (text from pdftotext) and the HTML (parsed) hold the drive's
identity, the figures and the maps; a bad file name is a usage error and a
report that cannot be written fails the run. The erase, backup, restore,
both benchmarks and the recovery scan report what their pages show (the
benchmarks their charts too), and a failed run says why."""
import base64, json, os, subprocess, sys, tempfile
from html.parser import HTMLParser

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
from clitest import check, done, run  # noqa: E402


def flat(text):
    return " ".join(text.split())


class Page(HTMLParser):
    """The text of the body and the sources of its images."""

    def __init__(self):
        super().__init__()
        self.text, self.images, self.tags = [], [], []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag == "img":
            self.images.append(dict(attrs).get("src", ""))

    def handle_data(self, data):
        self.text.append(data)


with tempfile.TemporaryDirectory() as folder:
    image = os.path.join(folder, "stick.img")
    with open(image, "wb") as f:
        f.truncate(4 << 20)
    pdf, html = os.path.join(folder, "scan.pdf"), os.path.join(folder, "scan.html")
    p = run("errorscan", "--image", image, "--write", "--yes", "--json", "--report", pdf)
    result = json.loads(p.stdout)
    check("pdf run: exit code 0", p.returncode == 0 and result.get("exit_code") == 0)
    q = run("errorscan", "--image", image, "--write", "--yes", "--json", "--report", html)
    check("html run: exit code 0", q.returncode == 0)
    result_html = json.loads(q.stdout)

    def expected(result):
        """Texts every report of that run must hold: the drive, the figures."""
        r = result["result"]
        return [flat(result["drive"]["product"]), image, "4 MB (4194304 bytes, 8192 sectors)", "Completed",
                "Average write speed %.1f MB/s" % r["write_speed_mb_s"],
                "Average read speed %.1f MB/s" % r["read_speed_mb_s"],
                "Write errors 0", "Read errors 0", "Check for errors 0", "Passes done 1"]

    text = flat(subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True).stdout)
    for want in expected(result):
        check("pdf holds '%s'" % want, want in text)

    page = Page()
    with open(html, encoding="utf-8") as f:
        page.feed(f.read())
    body = flat(" ".join(page.text))
    for want in expected(result_html):
        check("html holds '%s'" % want, want in body)
    pngs = [base64.b64decode(src.split(",", 1)[1]) for src in page.images
            if src.startswith("data:image/png;base64,")]
    check("html: both maps inlined as PNG", len(pngs) == 2 == len(page.images)
          and all(png.startswith(b"\x89PNG\r\n\x1a\n") for png in pngs))
    check("html: nothing fetched from elsewhere", not {"script", "link", "iframe"} & set(page.tags))

    p = run("errorscan", "--image", image, "--report", os.path.join(folder, "scan.txt"))
    check("other extension: usage error naming the file", p.returncode == 2 and "scan.txt" in p.stderr
          and ".pdf or .html" in p.stderr)
    p = run("errorscan", "--image", image, "--report", os.path.join(folder, "missing", "scan.pdf"))
    check("unwritable report: the run fails before it starts and says so", p.returncode == 3
          and "read errors" not in p.stdout and "cannot create " + os.path.join(folder, "missing", "scan.pdf") in p.stderr)


def chart_pictures(path):
    """(width, height, colours) of each picture in the report: the PDF's
    images as pdfimages lists them (colours unknown), the HTML's inlined
    PNGs as ImageMagick decodes them."""
    if path.endswith(".pdf"):
        rows = subprocess.run(["pdfimages", "-list", path], capture_output=True, text=True).stdout.splitlines()
        return [(int(r.split()[3]), int(r.split()[4]), None) for r in rows[2:] if r.split()[2:3] == ["image"]]
    _, page = html_text(path)
    pictures = []
    for src in page.images:
        png = base64.b64decode(src.split(",", 1)[1]) if src.startswith("data:image/png;base64,") else b""
        out = subprocess.run(["identify", "-format", "%w %h %k", "png:-"], input=png, capture_output=True).stdout
        pictures.append(tuple(int(v) for v in out.split()) if out else (0, 0, 0))
    return pictures


def check_chart(name, path, width, height):
    """The report holds one picture, the chart at the page's size, and (in
    HTML) it shows more than a blank or uniform area."""
    pictures = chart_pictures(path)
    check("%s: the chart as a %dx%d picture" % (name, width, height),
          [p[:2] for p in pictures] == [(width, height)])
    check("%s: the chart is drawn, not blank" % name, all(p[2] is None or p[2] > 16 for p in pictures))


def html_text(path):
    page = Page()
    with open(path, encoding="utf-8") as f:
        page.feed(f.read())
    return flat(" ".join(page.text)), page


# One image drive through every other command that reports; each report
# must hold the drive and the figures of its own run.
with tempfile.TemporaryDirectory() as folder:
    image, backup = os.path.join(folder, "card.img"), os.path.join(folder, "card-backup.img")
    samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "recovery")
    with open(image, "wb") as f:
        f.truncate(4 << 20)
        for offset, name in ((64 << 10, "jpg-00.jpg"), (1 << 20, "png-00.png")):
            f.seek(offset)
            with open(os.path.join(samples, name), "rb") as sample:
                f.write(sample.read())
    drive = [image, "4 MB (4194304 bytes, 8192 sectors)"]

    def reported(name, *args):
        path = os.path.join(folder, name)
        p = run(*args, "--image", image, "--json", "--report", path)
        return p, json.loads(p.stdout) if p.stdout else {}, path

    p, result, path = reported("recover.html", "recover", "--list-only")
    body, page = html_text(path)
    files = result.get("result", {}).get("files", [])
    check("recover: two files found", p.returncode == 0 and len(files) == 2)
    for want in drive + ["Signature scan", "All supported formats", "Files: 2", "Found files", "First sector"] + \
            ["%s %s %d %d" % (f["name"], f["kind"], f["sector"], f["length"]) for f in files]:
        check("recover report holds '%s'" % want, want in body)
    check("recover report: the files as a table", page.tags.count("tr") >= 4 + 2 + 1 + 4)

    p, result, path = reported("backup.html", "backup", backup)
    body, _ = html_text(path)
    check("backup: exit code 0", p.returncode == 0)
    for want in drive + ["Creating a backup", "Image file " + backup, "Checksum yes",
                         "Sectors transferred %d" % result["result"]["sectors"], "Outcome Completed"]:
        check("backup report holds '%s'" % want, want in body)

    p, result, path = reported("restore.html", "restore", backup, "--yes")
    body, _ = html_text(path)
    check("restore: exit code 0", p.returncode == 0)
    for want in drive + ["Restoring from a backup", "Verify after writing yes", "Progress 100 %",
                         "Sectors transferred %d" % result["result"]["sectors"]]:
        check("restore report holds '%s'" % want, want in body)

    p, result, path = reported("bench.pdf", "bench", "raw")
    text = flat(subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True).stdout)
    read = result.get("result", {}).get("read") or {}
    check("bench raw: exit code 0", p.returncode == 0 and read.get("average") is not None)
    for want in drive + ["Low-level test", "Average speed:", "%4.1f MB/s" % (read.get("average", 0) / 1024),
                         "Minimum speed:", "%4.1f MB/s" % (read.get("minimum", 0) / 1024), "Access time:"]:
        check("bench raw pdf holds '%s'" % want.strip(), want.strip() in text)

    check_chart("bench raw pdf", path, 580, 256)
    p, _, path = reported("bench.html", "bench", "raw")
    check_chart("bench raw html", path, 580, 256)

    p, result, path = reported("bench-file.html", "bench", "file")
    body, _ = html_text(path)
    check("bench file on an unmounted image fails", p.returncode == 3)
    for want in drive + ["Performance", "Outcome Failed", "Reason Error writing to the file (no file system is mounted from " + image + ")",
                         "File size", "15 MB not measured not measured"]:
        check("bench file report holds '%s'" % want, want in body)
    check_chart("bench file html", path, 580, 360)
    check_chart("bench file pdf", reported("bench-file.pdf", "bench", "file")[2], 580, 360)

    p, result, path = reported("erase.html", "erase", "--full", "--yes")
    body, _ = html_text(path)
    check("erase: exit code 0", p.returncode == 0)
    for want in drive + ["Erase", "Erase type Full erase", "Progress 100 %", "Errors: 0", "Sectors zeroed 8192"]:
        check("erase report holds '%s'" % want, want in body)

done()
