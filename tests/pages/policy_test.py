"""The hosting policy decides from real requests: one page host serves two site folders
that the policy knows as two sites, one refused the component and one allowed Add only.
Several clients interleave requests to both; every answer must be the one its own page's
site deserves, whatever ran on the host's other threads at the same time.

  policy_test.py <build dir> <QuillonPageHost.exe> <Quillon.DLL> <slapd folder> <policy-site>

Runs in the policy tests' Wine prefix (WINEPREFIX), whose store it writes and removes.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import threading

from pagehost import Host, expect, winpath

build, exe, dll, slapd_dir, source = sys.argv[1:6]
port = open(os.path.join(slapd_dir, "port")).read().strip()
run = os.path.join(build, "wine-run.sh")
key = r"HKLM\SOFTWARE\Tesmarin\Varnex"
work = tempfile.mkdtemp(prefix="pagehost-policy-", dir=os.path.join(build, "pagehost"))
site = os.path.join(work, "site")
shutil.copytree(source, site)
regtool = r"C:\windows\system32\reg.exe"  # the store is in the 64-bit view for both widths

REFUSED = "Please contact your hosting administrator, as you are not allowed to use Quillon component"
NO_QUERY = "Please contact your hosting administrator, as you are not allowed to use Query method of Quillon component"
expected = {"refused": ("Query: " + REFUSED, "Add: " + REFUSED), "addonly": ("Query: " + NO_QUERY, "Add: done")}


def reg(*args):
    return subprocess.run([run, regtool] + list(args), capture_output=True)


def write_policy():
    root = winpath(build, site)
    open(os.path.join(work, "Admin.ini"), "w", newline="").write("[Settings]\r\nInstalled=Quillon\r\nApplied=Quillon\r\n")
    open(os.path.join(work, "WebSite.ini"), "w", newline="").write(
        "[Path]\r\nRefused=%s\\refused\\\r\nAddOnly=%s\\addonly\\\r\n[Security]\r\nAddOnly=Quillon\r\n"
        "[AddOnly]\r\nQuillon=Add\r\n" % (root, root))
    reg("delete", key, "/f")
    expect(reg("add", key, "/v", "InstallationPath", "/t", "REG_SZ", "/d", winpath(build, work), "/f").returncode == 0,
           "could not write the policy store")
    reg("add", key, "/v", "EnableGardavo", "/t", "REG_DWORD", "/d", "1", "/f")


failures = []


def client(host, number, count):
    for i in range(count):
        folder = "refused" if (number + i) % 2 else "addonly"
        name = "policy-%d-%d-%d" % (os.getpid(), number, i)
        status, _, body = host.get("/%s/probe.asp?name=%s" % (folder, name))
        lines = body.decode("cp1252").split("\n")
        want = expected[folder]
        if status != 200 or tuple(lines[:2]) != want or not lines[2].endswith("\\%s\\probe.asp" % folder):
            failures.append("%s %s: %d %r, wanted %r" % (folder, name, status, lines[:3], want))


subprocess.run([os.path.join(os.path.dirname(__file__), "..", "support", "register-dll.sh"), build, dll],
               check=True, stdout=subprocess.DEVNULL)
write_policy()
try:
    with Host(build, exe, site, "--set", "LdapServer=127.0.0.1", "--set", "LdapPort=" + port) as host:
        threads = [threading.Thread(target=client, args=(host, n, 12)) for n in range(6)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
finally:
    reg("delete", key, "/f")
    listed = subprocess.run(["ldapsearch", "-x", "-LLL", "-H", "ldap://127.0.0.1:" + port, "-b",
                             "ou=Visitors,dc=example,dc=com", "(cn=policy-%d-*)" % os.getpid(), "dn"], capture_output=True, text=True)
    names = [line[4:] for line in listed.stdout.splitlines() if line.startswith("dn: ")]
    if names:
        subprocess.run(["ldapdelete", "-x", "-H", "ldap://127.0.0.1:" + port, "-D", "cn=admin,dc=example,dc=com",
                        "-w", "secret"] + names, capture_output=True)
expect(not failures, "%d answers were not their site's:\n%s" % (len(failures), "\n".join(failures[:5])))
expect(len(names) == 36, "the add-only site should have added 36 entries, not %d" % len(names))
print("72 interleaved requests to two sites, each answered by its own site's policy")
