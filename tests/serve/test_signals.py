"""The signals `cmg290 serve` is sent as a service, against the table in
docs/http-api.md: the ones it passes over end no request in flight."""
import os
import signal
import socket
import subprocess
import time

from conftest import CMG290, SAMPLES, SOURCE_DIR
from rawhttp import read_until_closed, status_of

RECORD = SAMPLES[0]
GROUP_HEAD = (b"POST /v1/group HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
              b"Connection: close\r\nContent-Length: %d\r\n\r\n")


def documented_signals():
    """{signal name: what the docs say the server does} from the signals table."""
    text = (SOURCE_DIR / "docs" / "http-api.md").read_text()
    table = text.split("**Signals.**", 1)[1].split("\n\n")[1]
    rows = {}
    for line in table.splitlines()[2:]:
        names, action = line.strip("|").split("|", 1)
        for name in names.split(","):
            rows[name.strip()] = action.strip()
    return rows


def wait_for(condition, seconds=5):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.02)
    return condition()


def test_the_signals_do_what_the_docs_say_and_lose_no_answer(start_server):
    documented = documented_signals()
    assert set(documented) == {"SIGINT", "SIGTERM", "SIGHUP", "SIGUSR1", "SIGUSR2", "SIGPIPE"}
    ignored = [name for name, action in documented.items() if action.startswith("ignored")]
    assert sorted(ignored) == ["SIGPIPE", "SIGUSR1", "SIGUSR2"]
    server = start_server()
    # Sent while a single call is in flight (half its body read): the call
    # is answered, and the server goes on serving.
    for name in ignored + ["SIGHUP"]:
        busy = socket.create_connection(("127.0.0.1", server.port), timeout=5)
        busy.sendall(GROUP_HEAD % len(RECORD) + RECORD[:100])
        time.sleep(0.1)
        server.proc.send_signal(getattr(signal, name))
        time.sleep(0.1)
        assert server.proc.poll() is None, name
        if name.startswith("SIGUSR"):
            line = b"serve: %s: passed over (SIGTERM stops, SIGHUP reloads)\n" % name.encode()
            assert wait_for(lambda: server.log().endswith(line)), name
        busy.sendall(RECORD[100:])
        answer, closed = read_until_closed(busy, 5)
        busy.close()
        assert status_of(answer) == 200 and b'"cmg":"B0101"' in answer, name
    assert wait_for(lambda: b"SIGHUP: grouping with the compiled-in lists" in server.log())
    # Once stopping, they are passed over too: the stop still ends cleanly.
    server.proc.send_signal(signal.SIGTERM)
    server.proc.send_signal(signal.SIGUSR1)
    assert server.proc.wait(5) == 0


def test_signals_sent_while_the_server_starts_wait_and_end_nothing(tmp_path):
    # The token is read from a pipe: the server waits in its start until the
    # test writes it, and the signals come meanwhile.
    fifo, log = tmp_path / "token", tmp_path / "server.log"
    os.mkfifo(fifo, 0o600)
    with open(log, "wb") as err:
        proc = subprocess.Popen([CMG290, "serve", "--listen", "127.0.0.1:0", "--token-file",
                                 str(fifo)], stderr=err)
    try:
        with open(fifo, "w") as pipe:  # opened once the server opens it
            for sig in [signal.SIGUSR1, signal.SIGUSR2, signal.SIGHUP]:
                proc.send_signal(sig)
            time.sleep(0.1)
            pipe.write("s3cret-token-0123456789abcdef\n")
        assert wait_for(lambda: log.read_bytes().count(b"passed over") == 2 and
                        b"nothing to reload" in log.read_bytes()), log.read_bytes()
        assert b"listening" in log.read_bytes() and proc.poll() is None
        proc.send_signal(signal.SIGTERM)
        assert proc.wait(5) == 0
    finally:
        proc.kill()
        proc.wait()
