"""8 clients x 500 requests of the search page, each client on its own keep-alive
connection: every answer right, and the host's handles and private memory flat after a
warm-up. Prints the requests per second.

Wine answers GetProcessHandleCount and the private bytes of GetProcessMemoryInfo with 0,
so the worker is measured from Linux: its open descriptors (Wine gives a process one for
each file, socket, event or thread handle it uses), its threads and its private resident
memory (RssAnon).

  load_test.py <build dir> <QuillonPageHost.exe> <slapd folder> <examples/asp> <tests' site>
               [clients] [requests]

The search page's worker grows by about 1.3 KB per directory search (Query), in the
component or in Wine's LDAP library: a page that only makes the component's object, or uses
RegExp, stays flat. So the host's own memory is held flat with a page of the tests' site
that uses every intrinsic object but no directory, and the search page's growth is held
below a bound that catches anything worse.
"""
import http.client
import os
import sys
import threading
import time

from pagehost import Host, expect

build, exe, slapd_dir, site, own_site = sys.argv[1:6]
clients = int(sys.argv[6]) if len(sys.argv) > 6 else 8
per_client = int(sys.argv[7]) if len(sys.argv) > 7 else 500
PAGES = {"search": ("/search.asp?q=P", [b"Popova"], 3), "own": ("/index.asp?q=x", [b"Hello, tests", b"q=x"], 0)}
page = "search"
port = open(os.path.join(slapd_dir, "port")).read().strip()
failures = []


def client(host, count):
    connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=60)
    cookies = {}  # kept as a browser keeps them, so the client has one session
    for i in range(count):
        try:
            path, words, rows = PAGES[page]
            connection.request("GET", path, headers={"Cookie": "; ".join(cookies.values())} if cookies else {})
            response = connection.getresponse()
            body = response.read()
            for value in response.headers.get_all("Set-Cookie") or []:
                cookies[value.split("=", 1)[0]] = value.split(";", 1)[0]
            if response.status != 200 or body.count(b"<tr><td>") != rows or not all(w in body for w in words):
                failures.append("answer %d: %d %r" % (i, response.status, body[-300:]))
        except Exception as e:  # a failed request is a finding, not a crash of the test
            failures.append("request %d: %r" % (i, e))
            connection.close()
            connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=60)
    connection.close()


def worker_pid(host):
    # Wine starts the worker from its server, not below the supervisor: find it by its
    # arguments, which name this host's port.
    for pid in os.listdir("/proc"):
        try:
            arguments = open("/proc/%s/cmdline" % pid, "rb").read().split(b"\0") if pid.isdigit() else []
        except OSError:
            continue
        if b"--worker" in arguments and b"--port" in arguments and \
                arguments[arguments.index(b"--port") + 1] == str(host.port).encode():
            return pid
    expect(False, "no worker process for port %d" % host.port)


def measure(pid):
    time.sleep(2)  # the connection threads of the last run end
    status = dict(line.split(":", 1) for line in open("/proc/%s/status" % pid).read().splitlines())
    return {"descriptors": len(os.listdir("/proc/%s/fd" % pid)), "threads": int(status["Threads"]),
            "private_kb": int(status["RssAnon"].split()[0])}


def run(host, count):
    threads = [threading.Thread(target=client, args=(host, count)) for _ in range(clients)]
    started = time.time()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return time.time() - started


with Host(build, exe, site, "--stats", "--set", "LdapServer=127.0.0.1", "--set", "LdapPort=" + port) as host:
    pid = worker_pid(host)
    run(host, 50)  # warm-up: threads, engines, the component and the page cache
    before = measure(pid)
    elapsed = run(host, per_client)
    after = measure(pid)
    expect(not failures, "%d failed requests, the first: %s" % (len(failures), failures[:3]))
    expect(int(host.stats()["requests"]) == clients * (50 + per_client) + 1, "the host counted other requests")
    print("%d requests by %d clients in %.1f s: %.0f requests per second" %
          (clients * per_client, clients, elapsed, clients * per_client / elapsed))
    print("after warm-up -> after the run: %r -> %r" % (before, after))
    expect(after["descriptors"] - before["descriptors"] <= 16, "descriptors grew: %r -> %r" % (before, after))
    expect(after["threads"] - before["threads"] <= 2, "threads grew: %r -> %r" % (before, after))
    grown = after["private_kb"] - before["private_kb"]
    print("private memory: %.2f KB per search" % (grown / (clients * per_client)))
    expect(grown <= 3 * clients * per_client, "private memory grew more than the known 1.3 KB a search: %r -> %r" % (before, after))

page = "own"
with Host(build, exe, own_site, "--stats") as host:
    pid = worker_pid(host)
    run(host, 50)
    before = measure(pid)
    elapsed = run(host, per_client)
    after = measure(pid)
    expect(not failures, "%d failed requests, the first: %s" % (len(failures), failures[:3]))
    print("the host's own page: %.0f requests per second; %r -> %r" % (clients * per_client / elapsed, before, after))
    expect(after["descriptors"] - before["descriptors"] <= 16, "descriptors grew: %r -> %r" % (before, after))
    expect(after["threads"] - before["threads"] <= 2, "threads grew: %r -> %r" % (before, after))
    expect(after["private_kb"] - before["private_kb"] <= 1024, "the host's memory grew: %r -> %r" % (before, after))
