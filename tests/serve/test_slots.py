"""Connection slots that slow clients cannot hold: when every slot is taken,
the connection stalled longest gives way to a new client (an idle kept-alive
one first), and a batch body below the minimum rate is cut as stalled."""
import socket
import time

from attacks import BATCH_HEAD, Trickle, close_all, open_connections
from rawhttp import read_until_closed
from test_slow_clients import raise_open_file_limit, timed
from conftest import SAMPLES, SANITIZED


def closed_by_server(s, timeout):
    try:
        s.settimeout(timeout)
        return s.recv(1 << 16) == b""
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False


def test_trickled_batches_give_way_to_new_clients(start_server):
    raise_open_file_limit(1024)
    server = start_server("--max-connections", "200", "--threads", "2")
    # 20 more than the slots: those wait in the listen queue, ahead of the
    # clients timed below.
    held = open_connections(server.port, 220, "batch")
    trickle = Trickle(held, 0.7)
    try:
        time.sleep(1.5)  # every batch has waited over a second for its bytes
        times = []
        for _ in range(5):
            times.append(timed(server.port, "GET", "/healthz"))
            times.append(timed(server.port, "POST", "/v1/group", SAMPLES[0]))
    finally:
        trickle.stop()
        close_all(held)
    assert all(status == 200 for _, status in times), times
    slowest = max(t for t, _ in times)
    print(f"slowest of {len(times)} answers beside 220 trickled batches: {slowest * 1000:.1f} ms")
    assert slowest < (3.0 if SANITIZED else 1.0)
    # A batch that gave way ends as a stalled one does: counted 408.
    assert b"/v1/group/batch 408" in server.log()


def kept_alive(port):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
    assert s.recv(4096).startswith(b"HTTP/1.1 200")
    return s


def fresh_healthz(port):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    return s


def test_idle_kept_alive_connections_give_way_first(start_server):
    server = start_server("--max-connections", "3")
    batches = open_connections(server.port, 2, "batch")
    time.sleep(0.2)
    idle = kept_alive(server.port)
    try:
        # All three have stalled over a second, the batches longest; the new
        # client takes the idle connection's slot, losing no request.
        time.sleep(1.2)
        fresh = fresh_healthz(server.port)
        answer, _ = read_until_closed(fresh, 2)
        assert answer.startswith(b"HTTP/1.1 200"), answer[:100]
        assert closed_by_server(idle, 1)
        for s in batches:
            assert not closed_by_server(s, 0.1)
    finally:
        close_all(batches + [idle])


def test_none_gives_way_before_it_has_stalled_a_second(start_server):
    server = start_server("--max-connections", "3")
    held = [kept_alive(server.port)] + open_connections(server.port, 2, "batch")
    try:
        fresh = fresh_healthz(server.port)
        fresh.settimeout(0.6)
        try:
            early = fresh.recv(4096)
        except socket.timeout:
            early = b""
        assert early == b""
        # Then the idle one gives way.
        answer, _ = read_until_closed(fresh, 2)
        assert answer.startswith(b"HTTP/1.1 200"), answer[:100]
        assert closed_by_server(held[0], 1)
    finally:
        close_all(held)


def test_a_batch_below_the_minimum_rate_is_cut(start_server):
    server = start_server("--min-body-rate", "1024", "--body-rate-window", "1", "--timeout", "10")
    # Two bytes every 0.3 s: each read well within --timeout.
    with socket.create_connection(("127.0.0.1", server.port)) as s:
        s.sendall(BATCH_HEAD)
        start = time.monotonic()
        cut = False
        while time.monotonic() - start < 5:
            try:
                s.sendall(b"IR")
            except OSError:
                cut = True
                break
            if closed_by_server(s, 0.3):
                cut = True
                break
        assert cut
        assert time.monotonic() - start < 3
    # A client above the rate is never cut, though it starts slowly: 20
    # records, the first three 0.3 s apart, the rest at some 10 KB/s.
    line = SAMPLES[0] + b"\n"
    with socket.create_connection(("127.0.0.1", server.port), timeout=5) as s:
        s.sendall(BATCH_HEAD.replace(b"100000\r\n", b"").replace(
            b"Transfer-Encoding", b"Connection: close\r\nTransfer-Encoding"))
        for i in range(20):
            s.sendall(b"%x\r\n%s\r\n" % (len(line), line))
            time.sleep(0.3 if i < 3 else len(line) / 10_000)
        s.sendall(b"0\r\n\r\n")
        answer, _ = read_until_closed(s, 5)
    assert answer.count(b'"line":') == 20, answer[-300:]
    assert answer.endswith(b"0\r\n\r\n")
    log = server.log()
    assert log.count(b"/v1/group/batch 408") == 1 and b"/v1/group/batch 200" in log


def test_connections_that_gave_way_leave_the_count(start_server):
    server = start_server("--max-connections", "3")
    held = [kept_alive(server.port) for _ in range(3)]
    try:
        time.sleep(1.1)
        # Each new client takes the place of one stalled: the three slots
        # are then held by connections that have not stalled...
        for _ in range(3):
            held.append(kept_alive(server.port))
        assert all(closed_by_server(s, 1) for s in held[:3])
        # ...so a fourth waits, as the slots are still all taken.
        extra = fresh_healthz(server.port)
        held.append(extra)
        extra.settimeout(0.5)
        try:
            early = extra.recv(4096)
        except socket.timeout:
            early = b""
        assert early == b""
    finally:
        close_all(held)
