"""Every page in examples/asp runs through the page host against a real directory.

  examples_test.py <build dir> <QuillonPageHost.exe> <slapd folder> <examples/asp> <photo.jpg>

Each page's forms are posted as a browser posts them, and the answer is checked; pages
that change the directory are checked with ldapsearch afterwards. The entry made here is
cn=Page Visitor <n>,ou=Visitors, unique to this run.
"""
import base64
import os
import re
import sys

from pagehost import Host, expect, ldap_search

build, exe, slapd_dir, site, photo_path = sys.argv[1:6]
port = open(os.path.join(slapd_dir, "port")).read().strip()
photo = open(photo_path, "rb").read()
visitor = "Page Visitor %d" % os.getpid()
renamed = visitor + " Renamed"
visitors = "ou=Visitors,dc=example,dc=com"


def text(body):
    return body.decode("cp1252")


def table_rows(html):
    return [re.findall(r"<td>(.*?)</td>", row) for row in re.findall(r"<tr>(.*?)</tr>", html) if "<td>" in row]


def entry(cn, *attributes):
    return ldap_search(port, "cn=%s,%s" % (cn, visitors), "base", *attributes)


with Host(build, exe, site, "--set", "LdapServer=127.0.0.1", "--set", "LdapPort=" + port) as host:
    # Search: the table of staff whose surname starts with P, sorted by surname, from both
    # engines.
    status, headers, body = host.get("/search.asp?q=P")
    page = text(body)
    expect(status == 200, "search.asp answered %d:\n%s" % (status, page))
    expect("<th>sn</th><th>cn</th><th>mail</th><th>telephoneNumber</th>" in page, "search.asp header row:\n" + page)
    rows = table_rows(page)
    expect([r[0] for r in rows] == ["Patel", "Petrova", "Popova"], "search.asp rows: %r" % rows)
    expect(all(len(r) == 4 and r[2].endswith("@example.com") for r in rows), "search.asp cells: %r" % rows)
    expect(headers["content-type"] == ["text/html"], "search.asp content type %r" % headers["content-type"])
    status, _, body = host.get("/search.asp?q=%3Cb%3E")
    expect(status == 200 and 'value="&lt;b&gt;"' in text(body), "search.asp must encode its input:\n" + text(body))

    status, _, body = host.get("/search-js.asp?q=p")
    page = text(body)
    expect(status == 200, "search-js.asp answered %d:\n%s" % (status, page))
    rows = table_rows(page)
    expect([r[0] for r in rows] == ["Patel", "Petrova", "Popova"], "search-js.asp rows: %r\n%s" % (rows, page))

    # Sorting and limits: every staff name, descending.
    status, _, body = host.get("/sort-and-limits.asp")
    names = re.findall(r"([^<>\r\n]+)<br>", text(body))
    expect(status == 200 and len(names) >= 30, "sort-and-limits.asp:\n" + text(body))
    expect(names == sorted(names, key=str.lower, reverse=True), "sort-and-limits.asp order: %r" % names)

    # Add, then the photo as the request body, modify, rename, delete.
    status, _, body = host.post_form("/add.asp", {"name": visitor, "surname": "Visitor", "mail": "pv@example.com"})
    expect(status == 200 and "<p>Added %s.</p>" % visitor in text(body), "add.asp:\n" + text(body))
    rc, found = entry(visitor, "sn", "mail")
    expect(rc == 0 and "sn: Visitor" in found and "mail: pv@example.com" in found, "after add.asp: " + found)
    status, _, body = host.post_form("/add.asp", {"name": visitor, "surname": "Visitor", "mail": "pv@example.com"})
    expect('<p class="error">Already Exists</p>' in text(body), "add.asp twice:\n" + text(body))

    from urllib.parse import quote
    status, _, body = host.request("POST", "/add-photo.asp?name=" + quote(visitor), body=photo,
                                   headers={"Content-Type": "application/octet-stream"})
    expect(status == 200 and "Stored a %d-byte photo." % len(photo) in text(body), "add-photo.asp:\n" + text(body))
    rc, found = entry(visitor, "jpegPhoto")
    stored = re.search(r"jpegPhoto:: (\S+)", found)
    expect(stored and base64.b64decode(stored.group(1)) == photo, "the stored photo differs: " + found)

    status, _, body = host.post_form("/modify.asp", {"name": visitor, "mail": "second@example.com", "phone": "+1 555 0199"})
    expect(status == 200 and "<p>Changed %s.</p>" % visitor in text(body), "modify.asp:\n" + text(body))
    rc, found = entry(visitor, "mail", "telephoneNumber")
    expect("mail: second@example.com" in found and "mail: pv@example.com" in found and
           "telephoneNumber: +1 555 0199" in found, "after modify.asp: " + found)

    status, _, body = host.post_form("/rename.asp", {"old": visitor, "new": renamed})
    expect(status == 200 and "<p>Renamed.</p>" in text(body), "rename.asp:\n" + text(body))
    expect(entry(visitor)[0] == 32 and entry(renamed)[0] == 0, "after rename.asp the entry must have its new name")

    status, _, body = host.post_form("/delete.asp", {"name": renamed})
    expect(status == 200 and "<p>Deleted %s.</p>" % renamed in text(body), "delete.asp:\n" + text(body))
    expect(entry(renamed)[0] == 32, "after delete.asp the entry must be gone")
    status, _, body = host.post_form("/delete.asp", {"name": renamed})
    expect('<p class="error">No Such Object</p>' in text(body), "delete.asp of a missing entry:\n" + text(body))

    # Signing in keeps the user in the session (the cookie the host set), until sign-out.
    status, _, body = host.post_form("/authenticate.asp", {"name": "Carla Diaz", "password": "wrong"})
    expect("Sign-in failed: Invalid Credentials" in text(body), "authenticate.asp, wrong password:\n" + text(body))
    status, _, body = host.post_form("/authenticate.asp", {"name": "Carla Diaz", "password": ""})
    expect("Please enter your password." in text(body), "authenticate.asp, empty password:\n" + text(body))
    status, headers, body = host.post_form("/authenticate.asp", {"name": "Carla Diaz", "password": "carla-pass"})
    expect("Welcome, Carla Diaz." in text(body), "authenticate.asp:\n" + text(body))
    cookie = [c.split(";")[0] for c in headers.get("set-cookie", []) if c.startswith("ASPSESSIONID")]
    expect(len(cookie) == 1, "authenticate.asp must start a session: %r" % headers.get("set-cookie"))
    _, _, body = host.get("/authenticate.asp", headers={"Cookie": cookie[0]})
    expect("Signed in as Carla Diaz." in text(body), "authenticate.asp with the session:\n" + text(body))
    _, _, body = host.get("/authenticate.asp")
    expect("Signed in as" not in text(body), "another client must not share the session:\n" + text(body))
    host.get("/authenticate.asp?signout=1", headers={"Cookie": cookie[0]})
    _, _, body = host.get("/authenticate.asp", headers={"Cookie": cookie[0]})
    expect("Signed in as" not in text(body), "Session.Abandon must end the session:\n" + text(body))

    # The error state page: a failed Delete, reported by the page, not raised.
    status, _, body = host.get("/error-state.asp")
    expect(status == 200 and "<p>Delete failed: No Such Object</p>" in text(body), "error-state.asp:\n" + text(body))

    # The photo page sends exactly the stored bytes, nothing around them.
    rc, found = ldap_search(port, "cn=Alice Walker,ou=Staff,dc=example,dc=com", "base", "jpegPhoto")
    alice = base64.b64decode(re.search(r"jpegPhoto:: (\S+)", found).group(1))
    status, headers, body = host.get("/photo.asp?name=Alice%20Walker")
    expect(status == 200 and headers["content-type"] == ["image/jpeg"], "photo.asp: %d %r" % (status, headers))
    expect(body == alice, "photo.asp must send the photo's %d bytes exactly, not %d" % (len(alice), len(body)))
    status, _, body = host.get("/photo.asp?name=Nobody")
    expect(status == 404 and b"No Such Object" in body, "photo.asp of a missing entry: %d %r" % (status, body))

    # Includes and other sources are never sent.
    for path in ["/settings.inc", "/settings-js.inc", "/search.asp.", "/SETTINGS.INC"]:
        status, _, body = host.get(path)
        expect(status in (400, 404) and b"LdapAdminPassword" not in body, "%s was answered %d" % (path, status))

print("all example pages answered as expected")
