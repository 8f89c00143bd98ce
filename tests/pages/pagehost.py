"""Starts the page host under Wine for a test and talks HTTP to it.

The host is the real QuillonPageHost.exe in the build tree's Wine prefix, serving a real
site folder; the tests drive it over loopback like a browser would.
"""
import http.client
import os
import re
import subprocess
import sys
import tempfile
import time


def winpath(build, path):
    out = subprocess.run([os.path.join(build, "wine-run.sh"), "winepath", "-w", path],
                         capture_output=True, text=True, env=dict(os.environ, WINEDEBUG="-all"))
    return out.stdout.strip()


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def expect(condition, message):
    if not condition:
        fail(message)


class Host:
    """One page host: a supervisor and its worker, stopped by stop() or on exit."""

    def __init__(self, build, exe, root, *args):
        self.build, self.exe, self.root, self.args = build, exe, root, list(args)
        self.work = tempfile.mkdtemp(prefix="pagehost-")
        self.log_path = os.path.join(self.work, "host.log")
        self.process = None
        self.port = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self, timeout=90):
        port_file = os.path.join(self.work, "port")
        command = [os.path.join(self.build, "wine-run.sh"), self.exe, "--root", winpath(self.build, self.root),
                   "--port-file", winpath(self.build, port_file)] + self.args
        self.log = open(self.log_path, "ab")
        self.process = subprocess.Popen(command, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.time() + timeout
        while time.time() < deadline:
            if os.path.exists(port_file) and open(port_file).read().strip():
                self.port = int(open(port_file).read())
                return
            if self.process.poll() is not None:
                break
            time.sleep(0.2)
        self.stop()
        fail("the host did not start; its log:\n" + self.log_text())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def log_text(self):
        try:
            return open(self.log_path, encoding="utf-8", errors="replace").read()
        except OSError:
            return ""

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def request(self, method, path, body=None, headers=None, timeout=60):
        """One request on a new connection: (status, headers as a dict of lists, body bytes)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            got = {}
            for name, value in response.getheaders():
                got.setdefault(name.lower(), []).append(value)
            return response.status, got, response.read()
        finally:
            connection.close()

    def get(self, path, **kw):
        return self.request("GET", path, **kw)

    def post_form(self, path, fields, headers=None):
        from urllib.parse import urlencode
        h = {"Content-Type": "application/x-www-form-urlencoded"}
        h.update(headers or {})
        return self.request("POST", path, body=urlencode(fields), headers=h)

    def raw(self, data, timeout=30, half_close=False):
        """Sends bytes as they are and returns whatever comes back until the host closes."""
        import socket
        s = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        try:
            if data:
                try:
                    s.sendall(data)
                except (ConnectionResetError, BrokenPipeError):
                    pass
            if half_close:
                s.shutdown(socket.SHUT_WR)
            chunks = []
            while True:
                try:
                    chunk = s.recv(65536)
                except (ConnectionResetError, BrokenPipeError, socket.timeout):
                    break
                if not chunk:
                    break
                chunks.append(chunk)
            return b"".join(chunks)
        finally:
            s.close()

    def stats(self):
        status, _, body = self.get("/_pagehost/stats")
        expect(status == 200, "the stats answer failed: %d" % status)
        return dict(line.split("=", 1) for line in body.decode().split())


def status_of(raw_answer):
    match = re.match(rb"HTTP/1\.1 (\d{3}) ", raw_answer)
    return int(match.group(1)) if match else None


def ldap_search(port, base, scope, *attributes):
    out = subprocess.run(["ldapsearch", "-x", "-LLL", "-o", "ldif-wrap=no", "-H", "ldap://127.0.0.1:%s" % port,
                          "-b", base, "-s", scope] + list(attributes), capture_output=True, text=True)
    return out.returncode, out.stdout
