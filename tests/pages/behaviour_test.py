"""What the page host promises pages, beyond the examples: errors that name the author's
file and line, includes and their limits, compiled pages made again when a file changes,
the intrinsic objects' answers, and a page past its time limit ended.

  behaviour_test.py <build dir> <QuillonPageHost.exe> <behaviour-site>
"""
import os
import re
import shutil
import sys
import tempfile
import time
from urllib.parse import urlencode

from pagehost import Host, expect, winpath

build, exe, source = sys.argv[1:4]
work = tempfile.mkdtemp(prefix="pagehost-behaviour-")
site = os.path.join(work, "site", "root")
shutil.copytree(source, site)
open(os.path.join(work, "site", "outside.inc"), "w").write("<% Response.Write \"OUTSIDE-MARKER\" %>")
version = os.path.join(site, "deep", "version.inc")


def error_block(body):
    found = re.search(r"<b>(.*?) error '([0-9a-f]{8})'</b></p>\s*<p class=\"description\">(.*?)</p>\s*"
                      r"<p class=\"where\"><b>(.*?), line (\d+)</b></p>\s*<pre class=\"line\">(.*?)</pre>", body, re.S)
    expect(found, "no error block in:\n" + body)
    return found.groups()


def get(host, path, **kw):
    status, headers, body = host.get(path, **kw)
    return status, headers, body.decode("cp1252")


with Host(build, exe, site) as host:
    # A run-time error: the output so far, then where (the page's own line) and what.
    status, _, body = get(host, "/error.asp")
    expect(status == 500 and "<p>before the error</p>" in body and "n=4" in body and "never" not in body, body)
    source, code, description, file, line, text = error_block(body)
    expect((code, description, file, line, text) == ("800a000b", "Division by zero", "/error.asp", "8", "n = n / 0") or
           (file, line, text, description) == ("/error.asp", "8", "n = n / 0", "Division by zero"),
           "error.asp block: %r" % (error_block(body),))
    expect("/error.asp line 8" in host.log_text(), "the host must log the error:\n" + host.log_text())
    # An error inside an include names the include's file and line.
    status, _, body = get(host, "/include-error.asp")
    _, _, description, file, line, text = error_block(body)
    expect(status == 500 and (file, line) == ("/deep/helper.inc", "6") and "NoSuchFunction" in text,
           "include-error.asp block: %r" % (error_block(body),))
    expect(description != "(no description)", "a known error needs its text: %r" % description)
    status, _, body = get(host, "/jscript-error.asp")
    _, _, description, file, line, text = error_block(body)
    expect(status == 500 and "js start" in body and (file, line, text) == ("/jscript-error.asp", "5", "o.missing();"),
           "jscript-error.asp block: %r" % (error_block(body),))
    status, _, body = get(host, "/syntax.asp")
    _, _, description, file, _, _ = error_block(body)
    expect(status == 500 and file == "/syntax.asp" and description != "(no description)", "syntax.asp: " + body)

    # Includes: never above the site root, at most 16 deep.
    status, _, body = get(host, "/escape.asp")
    expect(status == 500 and "OUTSIDE-MARKER" not in body and "not inside the site" in body,
           "escape.asp: " + body)
    status, _, body = get(host, "/loop.asp")
    expect(status == 500 and "nested more than 16 deep" in body, "loop.asp: " + body)

    # A compiled page is used again until one of its files changes.
    open(version, "w").write("version one")
    expect(get(host, "/cached.asp")[2].strip() == "version one", "cached.asp first")
    time.sleep(0.05)
    open(version, "w").write("version two, longer")
    expect(get(host, "/cached.asp")[2].strip() == "version two, longer", "cached.asp must see its include change")

    # The intrinsic objects.
    status, headers, body = get(host, "/intrinsics.asp?do=redirect")
    expect(status == 302 and headers["location"] == ["/target.asp?x=1"] and "after redirect" not in body, "redirect")
    status, headers, body = get(host, "/intrinsics.asp?do=status")
    expect(status == 403 and body.strip() == "refused" and headers["content-type"] == ["text/plain"] and
           headers["x-page"] == ["intrinsics"] and "flavour=dark+chocolate; path=/" in headers["set-cookie"],
           "status: %d %r %r" % (status, headers, body))
    expect(get(host, "/intrinsics.asp?do=end")[2].strip() == "kept", "Response.End")
    expect(get(host, "/intrinsics.asp?do=clear")[2].strip() == "kept", "Response.Clear")
    status, headers, body = get(host, "/intrinsics.asp?do=flush")
    expect(body.strip() == "firstsecond" and headers.get("transfer-encoding") == ["chunked"], "Flush: %r" % headers)
    expect(get(host, "/intrinsics.asp?do=unbuffered")[2].strip() == "onetwo", "Response.Buffer = False")
    payload = bytes(range(256)) * 4
    status, headers, body = host.request("POST", "/intrinsics.asp?do=binary", body=payload,
                                         headers={"Content-Type": "application/octet-stream"})
    expect(status == 200 and body.strip(b"\r\n") == payload, "BinaryRead and BinaryWrite: %d %r" % (status, body[:40]))
    status, _, body = host.request("POST", "/intrinsics.asp?do=form", body=urlencode([("f", "a b"), ("f", "c&d"), ("g", "\xe9")], encoding="cp1252"),
                                   headers={"Content-Type": "application/x-www-form-urlencoded", "Cookie": "c=cookie%20value"})
    expect(body.decode("cp1252").strip() == "f=a b, c&d(2);g=\xe9(1);cookie=cookie value;generic=a b, c&d",
           "Form and Cookies: %r" % body)
    status, headers, body = get(host, "/intrinsics.asp?do=session")
    cookie = [c.split(";")[0] for c in headers["set-cookie"] if c.startswith("ASPSESSIONID")][0]
    expect(body.strip() == "n=1;id=24", "first session request: %r" % body)
    expect(get(host, "/intrinsics.asp?do=session", headers={"Cookie": cookie})[2].strip() == "n=2;id=24", "session kept")
    status, _, body = get(host, "/intrinsics.asp?do=object")
    expect(status == 500 and "Only plain values" in body, "an object in Session: %d %s" % (status, body))
    status, _, body = get(host, "/intrinsics.asp?do=mappath")
    root = winpath(build, site)
    expect(body.strip().startswith(root + "\\deep\\helper.inc|" + root + "\\x.txt") and "is not inside the site" in body,
           "MapPath: " + body)

    # A page past its time limit is answered and ended; a new worker serves what follows.
    started = time.time()
    status, _, body = get(host, "/intrinsics.asp?do=timeout", timeout=60)
    expect(status == 500 and "time limit" in body and time.time() - started < 20, "timeout: %d %s" % (status, body))
    for _ in range(100):
        try:
            if get(host, "/intrinsics.asp?do=end")[2].strip() == "kept":
                break
        except OSError:
            time.sleep(0.2)
    else:
        expect(False, "no new worker answered after the timeout:\n" + host.log_text())
    expect("ran longer than its ScriptTimeout of 2 s" in host.log_text(), "the timeout must be logged")

print("errors, includes, the page cache, the intrinsic objects and the time limit behave")
