"""Limits of `cmg290 serve`: stalled and slow clients are cut off, the
connections it holds are bounded, and stopping under load loses no answer
that was started."""
import http.client
import json
import os
import signal
import socket
import threading
import time

import requests

from conftest import SAMPLES


def closed_within(sock, seconds):
    """True when the server closes the connection before `seconds` pass."""
    sock.settimeout(seconds)
    try:
        while sock.recv(65536):
            pass
        return True
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False


def test_stalled_clients_are_cut_off(start_server):
    server = start_server("--timeout", "1", "--idle-timeout", "1")
    stalls = [
        b"GET /healthz HTTP/1.1\r\nHost: x",  # headers never finished
        b"POST /v1/group HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
        b"Content-Length: 1000\r\n\r\nIRF-PAI",  # body never finished
        b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n",  # answered, then idle
    ]
    for stall in stalls:
        start = time.monotonic()
        with socket.create_connection(("127.0.0.1", server.port)) as s:
            s.sendall(stall)
            assert closed_within(s, 8), stall
        assert time.monotonic() - start < 6
    assert requests.get(server.url + "/healthz").ok


def test_a_client_that_does_not_read_its_answer_is_cut_off(start_server):
    server = start_server("--timeout", "1")
    # Short lines give long results: the answer outgrows every buffer.
    body = b"IRF-PAI\n" * 400_000
    head = (b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
            b"Content-Length: %d\r\n\r\n" % len(body))
    with socket.create_connection(("127.0.0.1", server.port)) as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        try:
            s.sendall(head + body)
        except OSError:
            pass  # cut off while sending: what is asked
        time.sleep(4)  # not reading, well past the write timeout
        received = b""
        s.settimeout(10)
        try:
            while True:
                data = s.recv(1 << 20)
                if not data:
                    break
                received += data
        except (ConnectionResetError, socket.timeout):
            pass
    assert received.startswith(b"HTTP/1.1 200")
    assert not received.endswith(b"0\r\n\r\n"), "the answer should have been cut off"
    assert received.count(b'"status"') < 400_000
    assert requests.get(server.url + "/healthz").ok


def open_fds(pid):
    """The sockets the process holds (its event loops' own descriptors aside)."""
    folder = f"/proc/{pid}/fd"
    links = []
    for fd in os.listdir(folder):
        try:
            links.append(os.readlink(f"{folder}/{fd}"))
        except FileNotFoundError:
            pass
    return sum(link.startswith("socket:") for link in links)


def test_connections_held_are_bounded(start_server):
    server = start_server("--max-connections", "10", "--timeout", "2")
    base = open_fds(server.proc.pid)
    clients = []
    for _ in range(60):
        s = socket.socket()
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", server.port))
        clients.append(s)
    time.sleep(0.5)
    held = open_fds(server.proc.pid) - base
    # Ten held; the rest wait in the system's listen queue.
    assert held <= 10, held
    for s in clients:
        s.close()
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and not _healthy(server):
        time.sleep(0.2)
    assert _healthy(server)


def _healthy(server):
    try:
        return requests.get(server.url + "/healthz", timeout=1).ok
    except requests.exceptions.RequestException:
        return False


def test_sigint_stops_an_idle_server_with_exit_0(start_server):
    server = start_server()
    assert server.stop(signal.SIGINT) == 0
    assert b"stopped" in server.log()


def test_stopping_under_load_loses_no_started_answer(start_server):
    server = start_server("--threads", "8")
    batch = b"\n".join(SAMPLES) * 200  # 6,000 records
    records = len(batch.splitlines())
    stop = threading.Event()
    lost, answered, errors = [], [], []

    def client(kind):
        while not stop.is_set() or kind == "late":
            conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=30)
            try:
                for _ in range(20):
                    if kind == "batch":
                        conn.request("POST", "/v1/group/batch", body=batch,
                                     headers={"Content-Type": "text/plain"})
                    else:
                        conn.request("POST", "/v1/group", body=SAMPLES[0],
                                     headers={"Content-Type": "text/plain"})
                    resp = conn.getresponse()  # raises if no answer was started
                    try:
                        data = resp.read()
                    except (http.client.HTTPException, OSError) as e:
                        lost.append((kind, repr(e)))
                        return
                    if resp.status != 200:
                        lost.append((kind, resp.status))
                        return
                    lines = data.splitlines()
                    if kind == "batch" and len(lines) != records:
                        lost.append((kind, f"{len(lines)} of {records} results"))
                        return
                    json.loads(lines[-1])
                    answered.append(kind)
            except (ConnectionError, http.client.RemoteDisconnected, OSError) as e:
                errors.append(repr(e))  # refused or closed before an answer began
                if stop.is_set():
                    return
            finally:
                conn.close()
            if kind == "late":
                return

    threads = [threading.Thread(target=client, args=(k,))
               for k in ["single", "single", "single", "batch", "batch", "batch"]]
    for t in threads:
        t.start()
    time.sleep(1.5)
    assert answered, errors
    server.proc.send_signal(signal.SIGTERM)
    stop.set()
    for t in threads:
        t.join(60)
    assert server.proc.wait(timeout=60) == 0
    print("answered", len(answered), "refused or closed before an answer", len(errors))
    assert not lost, lost
    assert "batch" in answered and "single" in answered
    assert b"stopped" in server.log()
