#!/usr/bin/python3
"""What each connection costs `cmg290 serve` in resident memory, plain and TLS.

    bench/serve_conn_memory.py [BUILD_DIR] [CONNECTIONS] [ATTACK...]

Starts a server for each attack (default: all of them, 4,096 connections, the
server's default limits), holds the connections, and prints the server's
resident memory before and with them, its peak, and the cost per connection.
Attacks: plain-silent, plain-batch (trickling chunked batches), tls-silent,
tls-hello (half-finished handshakes), tls-batch, tls-closed (connections that
had a batch going, all closed: what is left behind). SERVE_ARGS adds options
to the server's."""
import os
import pathlib
import resource
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "serve"))
build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build")
os.environ.setdefault("CMG290", str(build / "tools" / "cmg290"))
os.environ.setdefault("CMG290_SOURCE_DIR", str(HERE.parent))

import attacks  # noqa: E402
from conftest import Server  # noqa: E402

ATTACKS = ["plain-silent", "plain-batch", "tls-silent", "tls-hello", "tls-batch", "tls-closed"]


def run(attack, count, workdir, cert, key):
    tls = attack.startswith("tls")
    args = ["-q"] + (["--tls-cert", str(cert), "--tls-key", str(key)] if tls else [])
    args += os.environ.get("SERVE_ARGS", "").split()
    server = Server(*args, scheme="https" if tls else "http",
                    stderr_path=workdir / f"{attack}.log")
    try:
        time.sleep(0.5)
        before, _ = attacks.memory_kib(server.proc.pid)
        context = attacks.client_context(cert) if tls else None
        kind = attack.split("-")[1]
        kind = "batch" if kind == "closed" else kind
        start = time.monotonic()
        held = attacks.open_connections(server.port, count, kind, context)
        opened = time.monotonic() - start
        time.sleep(1)
        if attack == "tls-closed":
            attacks.close_all(held)
            time.sleep(3)
        rss, peak = attacks.memory_kib(server.proc.pid)
        per = (rss - before) / max(1, len(held))
        print(f"{attack:13} {len(held):5} connections in {opened:5.1f} s: resident {before} KiB "
              f"before, {rss} KiB {'after closing' if attack == 'tls-closed' else 'with them'}, "
              f"peak {peak} KiB ({peak / 1024:.0f} MiB); {per:.1f} KiB per connection",
              flush=True)
        attacks.close_all(held)
    finally:
        server.stop()


def main():
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 4096
    chosen = sys.argv[3:] or ATTACKS
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 2 * count + 256), hard))
    with tempfile.TemporaryDirectory() as tmp:
        workdir = pathlib.Path(tmp)
        cert, key = attacks.make_certificate(workdir)
        for attack in chosen:
            run(attack, count, workdir, cert, key)


if __name__ == "__main__":
    main()
