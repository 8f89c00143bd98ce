"""A real browser against the page host: headless Chromium loads the search page and a page
that shows a stored photo, and the DOM it built is checked: the table is there, and the
photo decoded as an image (its natural width), not only that bytes arrived.

  browser_test.py <build dir> <QuillonPageHost.exe> <slapd folder> <examples/asp>
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from pagehost import Host, expect

build, exe, slapd_dir, site = sys.argv[1:5]
port = open(os.path.join(slapd_dir, "port")).read().strip()
chromium = shutil.which("chromium") or shutil.which("chromium-browser")
expect(chromium, "chromium is not installed (cmake/install-deps.sh installs it)")
work = tempfile.mkdtemp(prefix="pagehost-browser-")


def dump_dom(url):
    profile = tempfile.mkdtemp(dir=work)
    command = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--user-data-dir=" + profile, "--virtual-time-budget=10000", "--dump-dom", url]
    out = subprocess.run(command, capture_output=True, timeout=120)
    expect(out.returncode == 0, "chromium failed on %s: %s" % (url, out.stderr.decode(errors="replace")[-2000:]))
    return out.stdout.decode("utf-8", errors="replace")


with Host(build, exe, site, "--set", "LdapServer=127.0.0.1", "--set", "LdapPort=" + port) as host:
    dom = dump_dom(host.url("/search.asp?q=P"))
    rows = re.findall(r"<tr><td>([^<]*)</td>", dom)
    expect("<table>" in dom and rows == ["Patel", "Petrova", "Popova"], "search.asp in the browser:\n" + dom)
    expect('value="P"' in dom, "the search box keeps the query:\n" + dom)

    # A page of our own showing photo.asp's answer as an image; its script writes what the
    # browser decoded into the document once the image has loaded (or failed).
    viewer = os.path.join(work, "photo-viewer.html")
    open(viewer, "w").write("""<!DOCTYPE html><html><body>
<img id="photo" src="%s" onload="document.getElementById('result').textContent = 'decoded ' +
 this.naturalWidth + 'x' + this.naturalHeight" onerror="document.getElementById('result').textContent = 'broken'">
<p id="result">pending</p></body></html>""" % host.url("/photo.asp?name=Alice%20Walker"))
    dom = dump_dom("file://" + viewer)
    expect('<p id="result">decoded 8x8</p>' in dom, "the stored photo did not decode in the browser:\n" + dom)

print("Chromium showed the search table and decoded the photo (8x8)")
