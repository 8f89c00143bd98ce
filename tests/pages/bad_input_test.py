"""Bad requests get a clear status and touch nothing else; random bytes do not stop the host.

  bad_input_test.py <build dir> <QuillonPageHost.exe> <site folder> <kinds|fuzz> [seconds]

The site is copied below a temporary folder that also holds a secret file beside the site:
no answer may carry it, nor the source of an include.
"""
import os
import random
import shutil
import sys
import tempfile
import time

from pagehost import Host, expect, status_of

build, exe, source, mode = sys.argv[1:5]
seconds = float(sys.argv[5]) if len(sys.argv) > 5 else 20
work = tempfile.mkdtemp(prefix="pagehost-bad-")
site = os.path.join(work, "site")
shutil.copytree(source, site)
os.makedirs(os.path.join(work, "outside"))
SECRET = b"outside-secret-must-not-leak"
open(os.path.join(work, "outside", "secret.txt"), "wb").write(SECRET)
open(os.path.join(work, "outside", "secret.asp"), "wb").write(b"<% Response.Write \"" + SECRET + b"\" %>")
LEAKS = [SECRET, b"include-source-must-not-leak"]


def clean(answer, what):
    for leak in LEAKS:
        expect(leak not in answer, "%s leaked %r:\n%r" % (what, leak, answer[:400]))


def answers_normally(host):
    status, _, body = host.get("/index.asp?q=ok")
    expect(status == 200 and b"Hello, tests" in body and b"q=ok" in body and b"method=GET" in body and
           b"url=a+b%26c" in body and b"\\styles\\site.css" in body,
           "the host must still answer a good request: %d %r" % (status, body[:300]))


def request(target, method=b"GET", headers=b"Host: t\r\n"):
    return method + b" " + target + b" HTTP/1.1\r\n" + headers + b"Connection: close\r\n\r\n"


def kinds(host):
    cases = [
        # Malformed request lines and headers.
        (b"GARBAGE\r\n\r\n", 400),
        (b"GET /index.asp HTTP/1.1 extra\r\nHost: t\r\n\r\n", 400),
        (b"GET /index.asp HTTP/2.0\r\nHost: t\r\n\r\n", 505),
        (b"GET /index.asp HTTP/1.1\r\n\r\n", 400),                       # no Host
        (b"GET /index.asp HTTP/1.1\r\nHost t\r\n\r\n", 400),             # no colon
        (b"GET /index.asp HTTP/1.1\r\nHost: t\r\n folded\r\n\r\n", 400),
        (b"GET /index.asp HTTP/1.1\nHost: t\n\n", 400),                  # bare line feeds
        (b"GET /index.asp HTTP/1.1\r\nHost: t\x01\r\n\r\n", 400),
        (b"GET http://t/index.asp HTTP/1.1\r\nHost: t\r\n\r\n", 400),
        (b"GET /index.asp HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello", 400),
        (b"GET /index.asp HTTP/1.1\r\nHost: t\r\nContent-Length: -1\r\n\r\n", 400),
        (b"POST /index.asp HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501),
        # Too large: a head over 16 KiB, a body over the limit (refused before it is sent).
        (b"GET /index.asp HTTP/1.1\r\nHost: t\r\nX-Big: " + b"a" * 20000 + b"\r\n\r\n", 413),
        (b"POST /index.asp HTTP/1.1\r\nHost: t\r\nContent-Length: 100000000\r\n\r\n", 413),
        # Methods it does not serve.
        (request(b"/index.asp", b"PUT"), 405),
        (request(b"/index.asp", b"DELETE"), 405),
        (request(b"/index.asp", b"TRACE"), 405),
        (request(b"/index.asp", b"OPTIONS"), 405),
        # Paths that leave the site, however they are spelled.
        (request(b"/../outside/secret.txt"), 400),
        (request(b"/parts/../../outside/secret.txt"), 400),
        (request(b"/%2e%2e/outside/secret.txt"), 400),
        (request(b"/%2E%2E%2Foutside%2Fsecret.txt"), 400),
        (request(b"/..%5coutside%5csecret.txt"), 400),
        (request(b"/%5c..%5coutside%5csecret.asp"), 400),
        (request(b"/parts\\..\\..\\outside\\secret.txt"), 400),
        (request(b"/Z:/etc/passwd"), 400),
        (request(b"/C:%5cwindows%5cwin.ini"), 400),
        (request(b"/%00index.asp"), 400),
        (request(b"/index.asp%00.txt"), 400),
        (request(b"/%ff%fe.asp"), 400),                                 # not UTF-8
        (request(b"/%zz"), 400),
        # Device names, in any folder and with any extension.
        (request(b"/con"), 404),
        (request(b"/parts/NUL.asp"), 404),
        (request(b"/aux.txt"), 404),
        (request(b"/COM1"), 404),
        (request(b"/lpt9.css"), 404),
        # Names Windows would shorten into a page's source, and streams.
        (request(b"/index.asp."), 400),
        (request(b"/index.asp%20"), 400),
        (request(b"/index.asp::$DATA"), 400),
        (request(b"/parts/greeting.inc."), 400),
        # Sources that are never sent as text.
        (request(b"/parts/greeting.inc"), 404),
        (request(b"/parts/GREETING.INC"), 404),
        (request(b"/global.asa"), 404),
        (request(b"/missing.asp"), 404),
        (request(b"/styles/site.css", b"POST"), 405),
    ]
    for sent, want in cases:
        answer = host.raw(sent, half_close=False)
        expect(status_of(answer) == want, "%r answered %r, not %d" % (sent[:80], answer[:120], want))
        clean(answer, repr(sent[:80]))
    # Static files come with their type; a folder without a default page lists only what
    # may be served.
    status, headers, body = host.get("/styles/site.css")
    expect(status == 200 and headers["content-type"] == ["text/css"] and b"sans-serif" in body, "site.css: %d" % status)
    status, _, body = host.get("/parts/")
    expect(status == 200 and b"greeting.inc" not in body, "the folder listing must hide includes: %r" % body)
    status, headers, _ = host.get("/parts")
    expect(status == 301 and headers["location"] == ["/parts/"], "a folder without its / : %d %r" % (status, headers))
    # A head trickled a byte at a time, each within the idle limit, is cut off at the
    # head's own time limit (30 s) instead of holding its thread for ever.
    import socket
    started = time.time()
    s = socket.create_connection(("127.0.0.1", host.port), timeout=60)
    answer = b""
    try:
        for byte in b"GET /index.asp HTTP/1.1\r\nHost: t\r\nX-Slow: " + b"a" * 100:
            s.sendall(bytes([byte]))
            time.sleep(0.5)
            if time.time() - started > 45:
                break
    except OSError:
        pass
    try:
        answer = s.recv(4096)
    except OSError:
        pass
    s.close()
    expect(status_of(answer) == 408 and time.time() - started < 45, "a trickled head: %r after %.0f s" %
           (answer[:60], time.time() - started))
    # The host listens on loopback only.
    import socket
    others = [a[4][0] for a in socket.getaddrinfo(socket.gethostname(), host.port, socket.AF_INET)
              if not a[4][0].startswith("127.")]
    for address in others:
        try:
            socket.create_connection((address, host.port), timeout=3).close()
            expect(False, "the host answered on %s" % address)
        except OSError:
            pass
    answers_normally(host)
    print("%d bad requests refused with the expected status" % len(cases))


def fuzz(host, seconds):
    rng = random.Random(int(os.environ.get("FUZZ_SEED", "1")))
    seeds = [request(b"/index.asp?q=x"), request(b"/styles/site.css"),
             b"POST /index.asp HTTP/1.1\r\nHost: t\r\nContent-Type: application/x-www-form-urlencoded\r\n"
             b"Content-Length: 7\r\n\r\nq=a%20b"]
    deadline = time.time() + seconds
    sent = 0
    while time.time() < deadline:
        data = bytearray(rng.choice(seeds))
        for _ in range(rng.randint(1, 8)):
            action = rng.random()
            at = rng.randrange(len(data) + 1)
            if action < 0.4 and data:
                data[rng.randrange(len(data))] = rng.randrange(256)
            elif action < 0.7:
                data[at:at] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 16)))
            elif action < 0.85:
                data[at:at] = rng.choice([b"%", b"%2e%2e/", b"..\\", b"\r\n", b":", b"\x00", b"<%", b"\n\n"])
            else:
                del data[at:at + rng.randint(1, 16)]
        if rng.random() < 0.1:
            data = bytes(rng.randrange(256) for _ in range(rng.randint(0, 2000)))
        answer = host.raw(bytes(data), timeout=20, half_close=True)
        clean(answer, "fuzz case %r" % bytes(data[:80]))
        expect(answer == b"" or status_of(answer) is not None, "fuzz case %r got %r" % (bytes(data[:80]), answer[:80]))
        sent += 1
    answers_normally(host)
    expect("starting a new one" not in host.log_text(), "the worker was restarted:\n" + host.log_text())
    print("%d random requests in %.0f s; the host still answers" % (sent, seconds))


with Host(build, exe, site, "--max-body", "1048576") as host:
    if mode == "fuzz":
        fuzz(host, seconds)
    else:
        kinds(host)
