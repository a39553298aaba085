"""The signals `cmg290 serve` is sent as a service, against the table in
docs/http-api.md: the ones it passes over end no request in flight."""
import signal
import socket
import time

from conftest import SAMPLES, SOURCE_DIR
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
