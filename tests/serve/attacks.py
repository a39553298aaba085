"""Many connections held open against a server, as hostile clients hold them:
silent, in a half-finished TLS handshake, or trickling a chunked batch. For
the slot and TLS memory tests and bench/serve_conn_memory.py."""
import socket
import ssl
import subprocess
import threading

BATCH_HEAD = (b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
              b"Transfer-Encoding: chunked\r\n\r\n100000\r\n")


def make_certificate(directory):
    """An ECDSA certificate for 127.0.0.1 and its key (quick to sign with)."""
    cert, key = directory / "cert.pem", directory / "key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", str(key), "-out", str(cert)], check=True, capture_output=True)
    return cert, key


def client_context(cert):
    context = ssl.create_default_context(cafile=str(cert))
    return context


def client_hello(context):
    """The first flight of a TLS client: sent alone, it leaves the server in
    the middle of a handshake."""
    incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
    tls = context.wrap_bio(incoming, outgoing, server_hostname="127.0.0.1")
    try:
        tls.do_handshake()
    except ssl.SSLWantReadError:
        pass
    return outgoing.read()


def connect(port, context=None, timeout=10):
    """A connection, over TLS with its handshake done when `context` is given."""
    s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    if context is None:
        return s
    return context.wrap_socket(s, server_hostname="127.0.0.1")


def open_connections(port, count, kind, context=None):
    """`count` connections of a kind: "silent" (nothing sent), "hello" (a
    ClientHello and nothing more) or "batch" (a chunked batch's head and the
    start of a chunk, over TLS when `context` is given). Connections the
    server does not take in time are left out."""
    hello = client_hello(context) if kind == "hello" else None
    held = []
    for _ in range(count):
        try:
            if kind == "silent":
                s = connect(port)
            elif kind == "hello":
                s = connect(port)
                s.sendall(hello)
            else:
                s = connect(port, context)
                s.sendall(BATCH_HEAD + b"IR")
        except OSError:
            continue
        held.append(s)
    return held


class Trickle:
    """Sends two bytes on each connection every `every` seconds until stopped."""

    def __init__(self, connections, every):
        self.connections = connections
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._run, args=(every,), daemon=True)
        self.thread.start()

    def _run(self, every):
        while not self.stopped.wait(every):
            for s in self.connections:
                try:
                    s.send(b"F-")
                except (OSError, ValueError):
                    pass

    def stop(self):
        self.stopped.set()
        self.thread.join()


def close_all(connections):
    for s in connections:
        try:
            s.close()
        except OSError:
            pass


def memory_kib(pid):
    """The server's resident memory now and at its peak (VmRSS, VmHWM)."""
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            name, _, rest = line.partition(":")
            if name in ("VmRSS", "VmHWM"):
                values[name] = int(rest.split()[0])
    return values["VmRSS"], values["VmHWM"]
