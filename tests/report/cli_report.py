#!/usr/bin/env python3
"""The command-line tool's --report after an error scan of an image drive:
the PDF (text from pdftotext) and the HTML (parsed) hold the drive's
identity, the figures and the maps; a bad file name is a usage error and a
report that cannot be written fails the run."""
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
        return [flat(result["drive"]["product"]), image, "(8191 sectors)", "Completed",
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
    check("unwritable report: the run fails and says so", p.returncode == 3
          and "cannot write " + os.path.join(folder, "missing", "scan.pdf") in p.stderr)

done()
