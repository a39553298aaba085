"""Slow and stalled clients hold no worker and cannot hold off others or a
stop; memory stays bounded whatever clients send."""
import http.client
import resource
import signal
import socket
import threading
import time

from conftest import SAMPLES, SANITIZED, peak_memory_kib
from rawhttp import exchange, read_until_closed, status_of

RECORD = SAMPLES[0]
GROUP_HEAD = (b"POST /v1/group HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
              b"Content-Length: %d\r\n\r\n")
BATCH_HEAD = GROUP_HEAD.replace(b"/v1/group", b"/v1/group/batch")


def raise_open_file_limit(wanted):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < wanted:
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(wanted, hard), hard))


def timed(port, method, path, body=None):
    """Seconds for one request on a new connection, and its status."""
    start = time.monotonic()
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    conn.request(method, path, body=body, headers={"Content-Type": "text/plain"})
    resp = conn.getresponse()
    resp.read()
    conn.close()
    return time.monotonic() - start, resp.status


def test_a_thousand_slow_clients_do_not_hold_off_others(start_server):
    raise_open_file_limit(4096)
    server = start_server("--timeout", "30", "--idle-timeout", "30", "--threads", "2")
    trickling, idle = [], []
    try:
        for i in range(1000):
            s = socket.create_connection(("127.0.0.1", server.port))
            if i % 4 == 0:
                s.sendall(b"GET /healthz HTTP/1.1\r\nHo")
                trickling.append(s)
            elif i % 4 == 1:
                s.sendall(GROUP_HEAD % 100_000 + b"IRF")
                trickling.append(s)
            elif i % 4 == 2:
                s.sendall(BATCH_HEAD % 100_000_000 + b"IRF")
                trickling.append(s)
            else:
                s.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
                idle.append(s)
        stop = threading.Event()

        def trickle():
            while not stop.wait(0.2):
                for s in trickling:
                    try:
                        s.send(b"x")
                    except OSError:
                        pass

        trickler = threading.Thread(target=trickle)
        trickler.start()
        try:
            time.sleep(0.5)
            times = []
            for _ in range(10):
                times.append(timed(server.port, "GET", "/healthz"))
                times.append(timed(server.port, "POST", "/v1/group", RECORD))
        finally:
            stop.set()
            trickler.join()
        assert all(status == 200 for _, status in times)
        slowest = max(t for t, _ in times)
        print(f"slowest of {len(times)} answers beside 1,000 slow clients: {slowest * 1000:.1f} ms")
        assert slowest < (1.0 if SANITIZED else 0.1)
        peak = peak_memory_kib(server.proc.pid)
        print(f"peak resident memory with them: {peak} KiB")
        assert SANITIZED or peak < 128 * 1024
    finally:
        for s in trickling + idle:
            s.close()


def test_headers_and_single_calls_have_a_total_deadline(start_server):
    server = start_server("--timeout", "1")
    for first, byte in [(b"GET /healthz HTTP/1.1\r\n", b"X"),
                        (GROUP_HEAD % 10_000, b"x")]:
        with socket.create_connection(("127.0.0.1", server.port)) as s:
            start = time.monotonic()
            s.sendall(first)
            closed = False
            while time.monotonic() - start < 5:
                try:
                    s.send(byte)
                except OSError:
                    closed = True
                    break
                s.settimeout(0.1)
                try:
                    if s.recv(4096) == b"":
                        closed = True
                        break
                except socket.timeout:
                    pass
            assert closed, first
            assert time.monotonic() - start < 2.5


def flood(port, head, piece, total):
    """Sends `head`, then `piece` until `total` bytes or the server stops taking them."""
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.settimeout(10)
        try:
            s.sendall(head)
            sent = 0
            while sent < total:
                s.sendall(piece)
                sent += len(piece)
            s.shutdown(socket.SHUT_WR)
        except OSError:
            return
        read_until_closed(s, 10)


def test_memory_stays_bounded_under_the_attack_set(start_server):
    server = start_server("--max-body", "65536")
    mib = 1 << 20
    batch = (b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nContent-Type: %s\r\n"
             b"Content-Length: %d\r\n\r\n")
    attacks = [
        # A request line, a header line, many headers: never ending.
        (b"GET /" , b"a" * mib, 256 * mib),
        (b"GET / HTTP/1.1\r\nX-Long: ", b"b" * mib, 256 * mib),
        (b"GET / HTTP/1.1\r\n", (b"X-H: " + b"c" * 8000 + b"\r\n") * 128, 256 * mib),
        # A JSON batch line and a text batch line without a line end.
        (batch % (b"application/x-ndjson", 64 * mib), b"d" * mib, 64 * mib),
        (batch % (b"text/plain", 64 * mib), b"e" * mib, 64 * mib),
        # Short lines: many results for few bytes.
        (batch % (b"text/plain", 64 * mib), b"IRF-PAI\n" * (mib // 8), 64 * mib),
        # A chunked batch in one endless chunk of one line.
        (b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-ndjson\r\n"
         b"Transfer-Encoding: chunked\r\n\r\n10000000\r\n", b"f" * mib, 64 * mib),
    ]
    for head, piece, total in attacks:
        # Four connections at once for each.
        threads = [threading.Thread(target=flood, args=(server.port, head, piece, total))
                   for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(60)
    peak = peak_memory_kib(server.proc.pid)
    print(f"peak resident memory through the attacks: {peak} KiB")
    assert SANITIZED or peak < 128 * 1024
    assert status_of(exchange(server.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n",
                              timeout=1)[0]) == 200


def test_stop_answers_what_is_in_flight_and_closes_idle_connections(start_server):
    server = start_server("--grace", "5")
    idle = socket.create_connection(("127.0.0.1", server.port))
    idle.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
    busy = socket.create_connection(("127.0.0.1", server.port))
    busy.sendall(GROUP_HEAD % len(RECORD) + RECORD[:100])
    time.sleep(0.3)
    start = time.monotonic()
    server.proc.send_signal(signal.SIGTERM)
    time.sleep(0.3)
    busy.sendall(RECORD[100:])
    answer, closed = read_until_closed(busy, 5)
    assert status_of(answer) == 200 and b'"cmg":"B0101"' in answer
    assert b"Connection: close" in answer
    assert server.proc.wait(5) == 0
    assert time.monotonic() - start < 2
    first, closed = read_until_closed(idle, 1)
    assert status_of(first) == 200 and closed


def test_stop_cuts_what_goes_on_past_the_grace_period(start_server):
    server = start_server("--grace", "1")
    endless = socket.create_connection(("127.0.0.1", server.port))
    endless.sendall(b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
                    b"Transfer-Encoding: chunked\r\n\r\n")
    stop = threading.Event()

    def feed():
        line = b"%x\r\n%s\r\n" % (len(RECORD) + 1, RECORD + b"\n")
        while not stop.wait(0.05):
            try:
                endless.sendall(line)
            except OSError:
                return

    feeder = threading.Thread(target=feed)
    feeder.start()
    trickler = socket.create_connection(("127.0.0.1", server.port))
    trickler.sendall(b"GET /healthz HTTP/1.1\r\n")
    time.sleep(0.3)
    start = time.monotonic()
    server.proc.send_signal(signal.SIGTERM)
    try:
        assert server.proc.wait(10) == 3
        assert 0.9 < time.monotonic() - start < 3
    finally:
        stop.set()
        feeder.join()
    answer, _ = read_until_closed(endless, 2)
    assert status_of(answer) == 200 and not answer.endswith(b"0\r\n\r\n")
    assert b"grace period" in server.log()
    for s in (endless, trickler):
        s.close()


def test_a_second_signal_stops_at_once(start_server):
    server = start_server("--grace", "60")
    trickler = socket.create_connection(("127.0.0.1", server.port))
    trickler.sendall(b"GET /healthz HTTP/1.1\r\n")
    time.sleep(0.2)
    server.proc.send_signal(signal.SIGTERM)
    time.sleep(0.3)
    assert server.proc.poll() is None
    start = time.monotonic()
    server.proc.send_signal(signal.SIGINT)
    assert server.proc.wait(5) == 4
    assert time.monotonic() - start < 1
    trickler.close()
