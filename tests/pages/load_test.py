"""8 clients x 500 requests of the search page, each client on its own keep-alive
connection: every answer right, and the host's handles and private memory flat after a
warm-up. Prints the requests per second.

  load_test.py <build dir> <QuillonPageHost.exe> <slapd folder> <examples/asp> [clients] [requests]
"""
import http.client
import os
import sys
import threading
import time

from pagehost import Host, expect

build, exe, slapd_dir, site = sys.argv[1:5]
clients = int(sys.argv[5]) if len(sys.argv) > 5 else 8
per_client = int(sys.argv[6]) if len(sys.argv) > 6 else 500
port = open(os.path.join(slapd_dir, "port")).read().strip()
failures = []


def client(host, count):
    connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=60)
    for i in range(count):
        try:
            connection.request("GET", "/search.asp?q=P")
            response = connection.getresponse()
            body = response.read()
            if response.status != 200 or body.count(b"<tr><td>") != 3 or b"Popova" not in body:
                failures.append("answer %d: %d %r" % (i, response.status, body[-300:]))
        except Exception as e:  # a failed request is a finding, not a crash of the test
            failures.append("request %d: %r" % (i, e))
            connection.close()
            connection = http.client.HTTPConnection("127.0.0.1", host.port, timeout=60)
    connection.close()


def run(host, count):
    threads = [threading.Thread(target=client, args=(host, count)) for _ in range(clients)]
    started = time.time()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return time.time() - started


with Host(build, exe, site, "--stats", "--set", "LdapServer=127.0.0.1", "--set", "LdapPort=" + port) as host:
    run(host, 50)  # warm-up: threads, engines, the component and the page cache
    before = host.stats()
    elapsed = run(host, per_client)
    after = host.stats()
    expect(not failures, "%d failed requests, the first: %s" % (len(failures), failures[:3]))
    handles = int(after["handles"]) - int(before["handles"])
    memory = int(after["private_bytes"]) - int(before["private_bytes"])
    print("%d requests by %d clients in %.1f s: %.0f requests per second" %
          (clients * per_client, clients, elapsed, clients * per_client / elapsed))
    print("after warm-up: handles %s -> %s, private bytes %s -> %s" %
          (before["handles"], after["handles"], before["private_bytes"], after["private_bytes"]))
    expect(handles <= 16, "handles grew by %d" % handles)
    expect(memory <= 8 * 1024 * 1024, "private memory grew by %d bytes" % memory)
