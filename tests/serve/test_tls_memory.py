"""What TLS connections cost the server: silent ones and half-finished
handshakes hold no TLS state, handshakes in progress are bounded in number
and time, and the memory of closed connections goes back to the system."""
import time

import pytest

import attacks
from conftest import SANITIZED
from rawhttp import read_until_closed
from test_slow_clients import raise_open_file_limit

COUNT = 300


@pytest.fixture
def tls_server(start_server, tmp_path):
    cert, key = attacks.make_certificate(tmp_path)

    def start(*args):
        server = start_server("-q", "--tls-cert", str(cert), "--tls-key", str(key),
                              "--max-connections", str(COUNT + 50), *args, scheme="https")
        return server, attacks.client_context(cert)
    return start


# Bounds per connection in KiB, about twice what they cost: a silent
# connection about 1 KiB, a half-finished handshake about 20 (most wait for a
# handshake slot, holding no TLS state), an established one trickling a
# batch about 110 (the TLS stream's record buffers).
@pytest.mark.skipif(SANITIZED, reason="sanitizers' shadow memory")
@pytest.mark.parametrize("kind, bound", [("silent", 8), ("hello", 40), ("batch", 160)])
def test_tls_connections_cost_bounded_memory(tls_server, kind, bound):
    raise_open_file_limit(4 * COUNT)
    server, context = tls_server()
    time.sleep(0.3)
    before, _ = attacks.memory_kib(server.proc.pid)
    held = attacks.open_connections(server.port, COUNT, kind, context)
    try:
        assert len(held) == COUNT
        time.sleep(0.5)
        rss, peak = attacks.memory_kib(server.proc.pid)
        per = (rss - before) / COUNT
        print(f"{kind}: {per:.1f} KiB per TLS connection, peak {peak} KiB")
        assert per < bound
    finally:
        attacks.close_all(held)


@pytest.mark.skipif(SANITIZED, reason="sanitizers' shadow memory")
def test_closed_tls_connections_leave_no_memory_behind(tls_server):
    raise_open_file_limit(4 * COUNT)
    server, context = tls_server()
    time.sleep(0.3)
    before, _ = attacks.memory_kib(server.proc.pid)
    held = attacks.open_connections(server.port, COUNT, "batch", context)
    assert len(held) == COUNT
    time.sleep(0.3)
    _, peak = attacks.memory_kib(server.proc.pid)
    attacks.close_all(held)
    time.sleep(2.5)  # the connections end; the server trims once a second
    after, _ = attacks.memory_kib(server.proc.pid)
    print(f"{COUNT} TLS connections: {before} KiB before, peak {peak}, {after} after closing")
    assert after - before < (peak - before) / 4


def test_half_finished_handshakes_are_cut_at_their_deadline(tls_server):
    raise_open_file_limit(4 * COUNT)
    server, context = tls_server("--max-handshakes", "16", "--handshake-timeout", "1")
    stalled = attacks.open_connections(server.port, 100, "hello", context)
    try:
        # Those holding a handshake slot, and those waiting for one, are cut
        # within the deadline (once more for those admitted late).
        time.sleep(2.2)
        assert all(read_until_closed(s, 0.05)[1] for s in stalled)
        start = time.monotonic()
        with attacks.connect(server.port, context) as s:
            s.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            assert s.recv(4096).startswith(b"HTTP/1.1 200")
        took = time.monotonic() - start
        print(f"a TLS request after 100 half-finished handshakes: {took:.3f} s")
        assert took < 0.5
    finally:
        attacks.close_all(stalled)
