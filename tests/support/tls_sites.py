#!/usr/bin/env python3
"""Loopback web sites over TLS for the Windows tests, then a command.

    tls_sites.py COMMAND [ARG...]

Makes a certificate authority of its own and certificates signed by it,
serves the sites below on loopback addresses, runs COMMAND with the
environment variable LH_TLS_SITES describing them, and stops the sites when
COMMAND ends (its exit status is this program's).

The authority and the sites' host names exist for COMMAND and its children
only: Wine's certificate checks take their roots from the system's bundle
(/etc/ssl/certs/ca-certificates.crt) and names are looked up in /etc/hosts,
so COMMAND runs in a mount namespace of its own where those two files are
copies with the authority and the names added (this needs root, as the
test machines run). Nothing outside it trusts the authority.

LH_TLS_SITES is "label=HOST:PORT;...". Each site has a loopback address and
a host name of its own (LABEL.linkhoard.test), and its certificate names
that host:

    good       a valid certificate; serves the routes below
    other      another valid site, for redirects between sites
    expired    a certificate that ran out a year ago
    wrongname  a valid certificate for another host
    untrusted  a certificate from an authority nobody trusts
    stall      accepts, reads the TLS hello and never answers
    plain      plain http, serving the same routes

Routes (on good, other and plain):
    /page            a small page
    /icons           a page declaring PNG icons with sizes
    /png16, /png32   PNG pictures of 16 and 32 pixels (green, red)
    /favicon.ico     on other only: a redirect to /png32 (elsewhere 404)
    /to-https/PATH   a redirect to https://good/PATH
    /to-http/PATH    a redirect to http://plain/PATH
    /to-other/PATH   a redirect to https://other/PATH
and hostile ones, as the Windows tests' loopback server has them:
    /endless         200 without length, then bytes for ever
    /trickle         200, then one byte every 100 ms for ever
    /slowheaders     a status line, then header bytes one per 100 ms
    /silent          reads the request and never answers
    /loop/N          a redirect to /loop/N+1, for ever
    /fifty           200 with a body of 50 MB
    /huge            200 declaring 10 GB, then bytes slowly for ever
    /bomb-page       a page declaring /bomb.png, a PNG of 100,000 x 100,000
and an answer cut in an unusual place:
    /bytewise        /page's answer a byte at a time (over TLS a record each)
    anything else    404
"""
import datetime
import os
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

SYSTEM_ROOTS = "/etc/ssl/certs/ca-certificates.crt"

SYSTEM_HOSTS = "/etc/hosts"

# Each site's loopback address; its host name is LABEL.linkhoard.test.
SITES = {
    "good": "127.0.0.61",
    "other": "127.0.0.62",
    "expired": "127.0.0.63",
    "wrongname": "127.0.0.64",
    "untrusted": "127.0.0.65",
    "stall": "127.0.0.66",
    "plain": "127.0.0.67",
}


def host(label):
    return label + ".linkhoard.test"


def key():
    # (RSA: Wine's check of ECDSA signatures fails on some of them.)
    return rsa.generate_private_key(public_exponent=65537, key_size=2048)


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def authority(label):
    k = key()
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (
        x509.CertificateBuilder()
        .subject_name(name(label))
        .issuer_name(name(label))
        .public_key(k.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=2))
        .not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
        .add_extension(
            x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True
        )
        .sign(k, hashes.SHA256())
    )
    return k, cert


def leaf(ca_key, ca_cert, hostname, expired=False):
    k = key()
    now = datetime.datetime.now(datetime.timezone.utc)
    start, end = (now - datetime.timedelta(days=400), now - datetime.timedelta(days=365)) if expired else (
        now - datetime.timedelta(days=1), now + datetime.timedelta(days=30))
    cert = (
        x509.CertificateBuilder()
        .subject_name(name(hostname))
        .issuer_name(ca_cert.subject)
        .public_key(k.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(start)
        .not_valid_after(end)
        .add_extension(x509.SubjectAlternativeName([x509.DNSName(hostname)]), critical=False)
        .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
        .sign(ca_key, hashes.SHA256())
    )
    return k, cert


def png(size, rgb):
    raw = b"".join(b"\x00" + bytes(rgb) * size for _ in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    head = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def answer(status, body, headers=()):
    reason = {200: "OK", 302: "Found", 404: "Not Found"}[status]
    head = "HTTP/1.1 %d %s\r\nContent-Length: %d\r\nConnection: close\r\n" % (status, reason, len(body))
    head += "".join("%s: %s\r\n" % h for h in headers)
    return head.encode() + b"\r\n" + body


PAGE = b"<html><head><title>page</title></head></html>"
PAGE_ANSWER = answer(200, PAGE, [("Content-Type", "text/html")])


def png_bomb():
    head = struct.pack(">IIBBBBB", 100000, 100000, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + head + b"\0\0\0\0"


def forever(piece, pause):
    def send(conn):
        while True:
            conn.sendall(piece)
            if pause:
                time.sleep(pause)
    return send


def hostile(path):
    """What a hostile route sends: bytes, or a function that sends them
    itself until the client goes; None for the other routes."""
    if path == "/endless":
        return lambda c: (c.sendall(b"HTTP/1.0 200 OK\r\n\r\n"), forever(b"x" * 16384, 0)(c))
    if path == "/trickle":
        return lambda c: (c.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"), forever(b"z", 0.1)(c))
    if path == "/slowheaders":
        return lambda c: (c.sendall(b"HTTP/1.1 200 OK\r\nX-Slow: "), forever(b"s", 0.1)(c))
    if path == "/silent":
        return lambda c: time.sleep(120)
    if path.startswith("/loop/"):
        return answer(302, b"", [("Location", "/loop/%d" % (int(path[6:] or 0) + 1))])
    if path == "/fifty":
        def fifty(c):
            c.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 52428800\r\n\r\n")
            for _ in range(800):
                c.sendall(b"f" * 65536)
        return fifty
    if path == "/huge":
        return lambda c: (c.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 10000000000\r\n\r\n"),
                          forever(b"y" * 1024, 0.01)(c))
    if path == "/bytewise":
        def bytewise(c):
            for i in range(len(PAGE_ANSWER)):
                c.sendall(PAGE_ANSWER[i:i + 1])
        return bytewise
    if path == "/bomb-page":
        return answer(200, b'<link rel="shortcut icon" href="/bomb.png">', [("Content-Type", "text/html")])
    if path == "/bomb.png":
        return answer(200, png_bomb(), [("Content-Type", "image/png")])
    return None


def route(path, ports, label):
    bad = hostile(path)
    if bad is not None:
        return bad
    good = "https://%s:%d" % (host("good"), ports["good"])
    other = "https://%s:%d" % (host("other"), ports["other"])
    plain = "http://%s:%d" % (host("plain"), ports["plain"])
    for prefix, target in (("/to-https", good), ("/to-http", plain), ("/to-other", other)):
        if path.startswith(prefix + "/"):
            return answer(302, b"", [("Location", target + path[len(prefix):])])
    if path == "/page":
        return answer(200, b"<html><head><title>page</title></head></html>", [("Content-Type", "text/html")])
    if path == "/icons":
        page = (b'<html><head><link rel="icon" type="image/png" sizes="32x32" href="/png32">'
                b'<link rel="icon" type="image/png" sizes="16x16" href="/png16"></head></html>')
        return answer(200, page, [("Content-Type", "text/html")])
    if path == "/favicon.ico" and label == "other":
        return answer(302, b"", [("Location", "/png32")])
    if path == "/png16":
        return answer(200, png(16, (0, 160, 0)), [("Content-Type", "image/png")])
    if path == "/png32":
        return answer(200, png(32, (200, 0, 0)), [("Content-Type", "image/png")])
    return answer(404, b"")


def serve_http(conn, ports, label):
    with conn:
        conn.settimeout(10)
        data = b""
        while b"\r\n\r\n" not in data and len(data) < 65536:
            piece = conn.recv(4096)
            if not piece:
                return
            data += piece
        parts = data.split(b" ", 2)
        path = parts[1].decode("latin-1") if len(parts) > 2 else "/"
        what = route(path, ports, label)
        if callable(what):
            conn.settimeout(120)
            what(conn)
        else:
            conn.sendall(what)


def quietly(serve, conn, ports, label):
    try:
        serve(conn, ports, label)
    except OSError:
        pass


def serve_stall(conn):
    # Reads whatever comes (the TLS hello) and never answers, until the
    # client goes.
    with conn:
        conn.settimeout(120)
        try:
            while conn.recv(4096):
                pass
        except OSError:
            pass


def listen(ip):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind((ip, 0))
    s.listen(16)
    return s


def accept_loop(listener, handle):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


def tls_handler(context, ports, label):
    def handle(conn):
        try:
            conn.settimeout(10)
            tls = context.wrap_socket(conn, server_side=True)
        except (OSError, ssl.SSLError):
            conn.close()
            return
        try:
            serve_http(tls, ports, label)
        except (OSError, ssl.SSLError):
            pass
        finally:
            tls.close()

    return handle


def context_for(folder, label, k, cert, chain):
    cert_path = os.path.join(folder, label + ".pem")
    key_path = os.path.join(folder, label + ".key")
    with open(cert_path, "wb") as f:
        for c in [cert] + chain:
            f.write(c.public_bytes(serialization.Encoding.PEM))
    with open(key_path, "wb") as f:
        f.write(k.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                serialization.NoEncryption()))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert_path, key_path)
    return context


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = tempfile.mkdtemp(prefix="lh-tls-")
    ca_key, ca_cert = authority("Linkhoard Test Authority")
    stranger_key, stranger_cert = authority("Nobody Trusts This")
    bundle = os.path.join(folder, "roots.crt")
    with open(SYSTEM_ROOTS, "rb") as system, open(bundle, "wb") as f:
        f.write(system.read().rstrip(b"\n") + b"\n")
        f.write(ca_cert.public_bytes(serialization.Encoding.PEM))

    listeners = {label: listen(ip) for label, ip in SITES.items()}
    ports = {label: s.getsockname()[1] for label, s in listeners.items()}
    certificates = {
        "good": leaf(ca_key, ca_cert, host("good")) + ([ca_cert],),
        "other": leaf(ca_key, ca_cert, host("other")) + ([ca_cert],),
        "expired": leaf(ca_key, ca_cert, host("expired"), expired=True) + ([ca_cert],),
        "wrongname": leaf(ca_key, ca_cert, host("good")) + ([ca_cert],),
        "untrusted": leaf(stranger_key, stranger_cert, host("untrusted")) + ([stranger_cert],),
    }
    for label, (k, cert, chain) in certificates.items():
        handler = tls_handler(context_for(folder, label, k, cert, chain), ports, label)
        threading.Thread(target=accept_loop, args=(listeners[label], handler), daemon=True).start()
    threading.Thread(target=accept_loop, args=(listeners["stall"], serve_stall), daemon=True).start()
    threading.Thread(target=accept_loop, args=(listeners["plain"], lambda c: quietly(serve_http, c, ports, "plain")),
                     daemon=True).start()

    hosts = os.path.join(folder, "hosts")
    with open(SYSTEM_HOSTS, "rb") as system, open(hosts, "wb") as f:
        f.write(system.read().rstrip(b"\n") + b"\n")
        f.write("".join("%s %s\n" % (ip, host(label)) for label, ip in SITES.items()).encode())
    described = ["%s=%s:%d" % (label, host(label), ports[label]) for label in SITES]
    env = dict(os.environ, LH_TLS_SITES=";".join(described))
    trusting = ["unshare", "--mount", "sh", "-c",
                'mount --bind "$0" %s && mount --bind "$1" %s && shift && exec "$@"' % (SYSTEM_ROOTS, SYSTEM_HOSTS),
                bundle, hosts]
    try:
        return subprocess.call(trusting + sys.argv[1:], env=env)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
