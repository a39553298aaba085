"""`cmg290 serve --tier-tables` reloads its set on SIGHUP: new requests get the new set
once it has loaded, requests in flight finish with the old one, a set that cannot be
loaded leaves the old one in use, and /v1/tables and /metrics show the set and the reloads."""
import json
import os
import re
import signal
import socket
import threading
import time

import requests

from conftest import SANITIZED, edit_tier_row, export_tier_set
from rawhttp import chunked_body, status_of
from test_tier_tables import EXCLUDING_RIC_01, FIELDS

NDJSON = {"Content-Type": "application/x-ndjson"}
WAIT = 60 if SANITIZED else 15


def tables(server):
    return requests.get(server.url + "/v1/tables").json()


def metrics(server):
    return requests.get(server.url + "/metrics").text


def metric(text, name):
    match = re.search("^" + re.escape(name) + r" (\S+)$", text, re.M)
    assert match, f"{name} not in /metrics"
    return float(match.group(1))


def cmg(server):
    return requests.post(server.url + "/v1/group", json={"fields": FIELDS}).json()["cmg"]


def wait_for(server, done):
    """Waits until done() holds; returns its value."""
    deadline = time.monotonic() + WAIT
    while not (value := done()):
        assert time.monotonic() < deadline, server.log().decode(errors="replace")
        time.sleep(0.01)
    return value


def tables_after(server, reloads):
    """/v1/tables once at least `reloads` reloads have ended, else None."""
    t = tables(server)
    return t if t["reloads"]["succeeded"] + t["reloads"]["failed"] >= reloads else None


def reload(server):
    """Sends SIGHUP; waits until the server counts one more reload, and returns /v1/tables."""
    count = tables(server)["reloads"]
    server.proc.send_signal(signal.SIGHUP)
    return wait_for(server, lambda: tables_after(server, count["succeeded"] + count["failed"] + 1))


def deviate_at_once(directory, scratch):
    """Makes the set deviate in one row, writing its file at once (a reload running meanwhile
    reads it whole)."""
    text = (directory / "single-2.40.csv").read_text()
    scratch.write_text(re.sub(r"(?m)^478\.31,.*$", EXCLUDING_RIC_01, text, count=1))
    os.replace(scratch, directory / "single-2.40.csv")


def test_reload_takes_a_changed_set_for_new_requests(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "set", name="before")
    server = start_server("--tier-tables", str(directory), "--allow-deviations")
    first = tables(server)
    assert first["reloads"] == {"succeeded": 0, "failed": 0, "last": None}
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", first["loaded_at"])
    text = metrics(server)
    assert f'cmg290_tier_set_info{{name="before",sha256="{first["sha256"]}",' \
           f'compiled_in="false"}} 1' in text
    assert metric(text, 'cmg290_tier_set_reloads_total{result="succeeded"}') == 0
    assert metric(text, "cmg290_tier_set_last_reload_timestamp_seconds") == 0
    old = cmg(server)
    assert old != "A0110"

    edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
    (directory / "manifest.txt").write_text("name = after\n")
    after = reload(server)
    assert after["name"] == "after" and after["sha256"] != first["sha256"]
    assert after["deviations"] and after["loaded_at"] >= first["loaded_at"]
    assert after["reloads"]["succeeded"] == 1 and after["reloads"]["failed"] == 0
    assert after["reloads"]["last"]["succeeded"] is True
    assert after["reloads"]["last"]["at"] >= first["loaded_at"]
    # Every route that groups takes the new set.
    assert cmg(server) == "A0110"
    explained = requests.post(server.url + "/v1/explain", json={"fields": FIELDS}).json()
    assert explained["tier"]["letter"] == "A" and explained["result"]["cmg"] == "A0110"
    batch = requests.post(server.url + "/v1/group/batch",
                          data=json.dumps({"fields": FIELDS}) + "\n", headers=NDJSON)
    assert json.loads(batch.content)["cmg"] == "A0110"

    text = metrics(server)
    assert f'cmg290_tier_set_info{{name="after",sha256="{after["sha256"]}",' in text
    assert 'name="before"' not in text
    assert metric(text, 'cmg290_tier_set_reloads_total{result="succeeded"}') == 1
    assert metric(text, 'cmg290_tier_set_reloads_total{result="failed"}') == 0
    assert metric(text, "cmg290_tier_set_last_reload_successful") == 1
    assert abs(metric(text, "cmg290_tier_set_last_reload_timestamp_seconds") - time.time()) < 600
    log = server.log().decode()
    assert "reloaded in " in log and f"tier tables after sha256:{after['sha256']}" in log
    assert f"(was before sha256:{first['sha256']})" in log

    # The same contents again: a reload all the same, said to change nothing.
    assert reload(server)["reloads"]["succeeded"] == 2
    assert server.log().decode().count(": the same contents)") == 1
    assert server.stop() == 0


def test_batch_in_flight_during_a_reload_finishes_with_the_set_it_started_with(start_server,
                                                                               tmp_path):
    directory = export_tier_set(tmp_path / "set")
    server = start_server("--tier-tables", str(directory), "--allow-deviations")
    old = cmg(server)
    line = (json.dumps({"fields": FIELDS}) + "\n").encode()
    chunk = line * 50
    with socket.create_connection(("127.0.0.1", server.port), timeout=WAIT) as s:
        s.sendall(b"POST /v1/group/batch HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                  b"Content-Type: application/x-ndjson\r\nTransfer-Encoding: chunked\r\n\r\n")
        received = b""
        while b"\r\n\r\n" not in received:  # the batch is under way
            received += s.recv(1 << 16)
        assert received == b"HTTP/1.1 100 Continue\r\n\r\n"
        received = b""
        s.sendall(b"%x\r\n%s\r\n" % (len(chunk), chunk))

        edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
        assert reload(server)["reloads"]["succeeded"] == 1
        assert cmg(server) == "A0110"  # a new request has the new set

        for _ in range(3):
            s.sendall(b"%x\r\n%s\r\n" % (len(chunk), chunk))
        s.sendall(b"0\r\n\r\n")
        while not received.endswith(b"\r\n0\r\n\r\n"):
            data = s.recv(1 << 16)
            assert data, "closed before the end of the batch"
            received += data
    assert status_of(received) == 200
    body, complete = chunked_body(received)
    assert complete
    results = [json.loads(x) for x in body.splitlines()]
    assert len(results) == 200 and all(r["cmg"] == old for r in results)
    assert server.stop() == 0


def test_set_that_cannot_be_loaded_leaves_the_one_in_use(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "set", name="good")
    pristine = export_tier_set(tmp_path / "pristine")
    server = start_server("--tier-tables", str(directory))
    first = tables(server)
    old = cmg(server)

    lines = (directory / "single-2.50.csv").read_text().splitlines()
    lines[2] = lines[2].split(",")[0] + ",X,"
    (directory / "single-2.50.csv").write_text("\n".join(lines) + "\n")
    (directory / "pair.csv").write_text("code,tier,excluded_rics\n")
    failed = reload(server)
    assert failed["sha256"] == first["sha256"] and failed["name"] == "good"
    assert failed["loaded_at"] == first["loaded_at"]
    assert failed["reloads"]["succeeded"] == 0 and failed["reloads"]["failed"] == 1
    assert failed["reloads"]["last"]["succeeded"] is False
    assert cmg(server) == old
    log = server.log().decode()
    summary = re.search(r"cmg290 serve: reload failed: the tier-table set in (\S+) cannot be "
                        r"used \((\d+) problems?\); still grouping with tier tables good "
                        r"sha256:([0-9a-f]{64})", log)
    assert summary, log
    assert summary.group(1) == str(directory) and summary.group(3) == first["sha256"]
    problems = re.findall(r"^cmg290 serve: reload: (.*)$", log, re.M)
    # One line per problem, each naming its file and line.
    assert len(problems) == int(summary.group(2)) >= 2
    assert any(p.startswith(f"{directory}/single-2.50.csv:3: ") for p in problems), problems
    assert any(p.startswith(f"{directory}/pair.csv:1: ") for p in problems), problems
    text = metrics(server)
    assert metric(text, 'cmg290_tier_set_reloads_total{result="failed"}') == 1
    assert metric(text, "cmg290_tier_set_last_reload_successful") == 0
    assert f'sha256="{first["sha256"]}"' in text

    # A set that only deviates is refused as at start, which says how it would be taken.
    for file in ("single-2.50.csv", "pair.csv"):
        (directory / file).write_bytes((pristine / file).read_bytes())
    edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
    deviating = reload(server)
    assert deviating["reloads"]["failed"] == 2 and deviating["sha256"] == first["sha256"]
    assert "reload: these are deviations" in server.log().decode()

    # Put right, the next reload takes it.
    (directory / "single-2.40.csv").write_bytes((pristine / "single-2.40.csv").read_bytes())
    (directory / "manifest.txt").write_text("name = put right\n")
    right = reload(server)
    assert right["name"] == "put right" and right["sha256"] == first["sha256"]
    assert right["reloads"] == {"succeeded": 1, "failed": 2, "last": right["reloads"]["last"]}
    assert right["reloads"]["last"]["succeeded"] is True
    assert metric(metrics(server), "cmg290_tier_set_last_reload_successful") == 1
    assert server.stop() == 0


def test_sighup_with_the_compiled_in_lists_changes_nothing(start_server):
    server = start_server()
    before = tables(server)
    for k in range(1, 4):
        server.proc.send_signal(signal.SIGHUP)
        wait_for(server, lambda: server.log().count(b"nothing to reload") >= k)
    assert tables(server) == before and before["reloads"]["last"] is None
    assert requests.get(server.url + "/healthz").status_code == 200
    assert server.stop() == 0


def test_reload_signals_in_a_row_under_load_are_merged_and_the_last_one_counts(start_server,
                                                                              tmp_path):
    directory = export_tier_set(tmp_path / "set")
    server = start_server("--tier-tables", str(directory), "--allow-deviations")
    old = cmg(server)
    statuses, cmgs, stop = [], set(), threading.Event()

    def load():
        with requests.Session() as s:
            while not stop.is_set():
                single = s.post(server.url + "/v1/group", json={"fields": FIELDS})
                batch = s.post(server.url + "/v1/group/batch", headers=NDJSON,
                               data=(json.dumps({"fields": FIELDS}) + "\n") * 200)
                statuses.extend([single.status_code, batch.status_code])
                cmgs.add(single.json()["cmg"])
                cmgs.update(json.loads(x)["cmg"] for x in batch.content.splitlines())

    clients = [threading.Thread(target=load) for _ in range(3)]
    for c in clients:
        c.start()
    # Reloads are watched in the log: a request for /v1/tables would order the threads that
    # serve the load after the reload, and hide a race from ThreadSanitizer.
    try:
        for k in range(1, 6):  # reloads one after the other while requests go on
            server.proc.send_signal(signal.SIGHUP)
            wait_for(server, lambda: server.log().count(b"reloaded in ") >= k)
        for _ in range(30):
            server.proc.send_signal(signal.SIGHUP)
        # Changed while those reloads run: the signal after the change is not lost.
        deviate_at_once(directory, tmp_path / "scratch.csv")
        server.proc.send_signal(signal.SIGHUP)
        wait_for(server, lambda: re.search(rb"reloaded in .*deviating in", server.log()))
        time.sleep(0.2)
    finally:
        stop.set()
        for c in clients:
            c.join()
    reloads = tables(server)["reloads"]
    assert 6 <= reloads["succeeded"] <= 36 and reloads["failed"] == 0
    assert statuses and set(statuses) == {200}
    assert cmgs <= {old, "A0110"}
    assert cmg(server) == "A0110"
    assert server.stop() == 0


def test_signal_during_a_reload_gives_one_more_reload_after_it(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "set")
    # A long manifest (comment lines, within the size limit) keeps each reload busy for a while
    # after it has read the files.
    (directory / "manifest.txt").write_text("name = slow\n" + "#\n" * (4 * 1024 * 1024 - 16))
    server = start_server("--tier-tables", str(directory), "--allow-deviations")
    old = cmg(server)
    server.proc.send_signal(signal.SIGHUP)
    wait_for(server, lambda: b"SIGHUP: reloading" in server.log())
    time.sleep(0.03)  # the files are read; the reload is still going
    deviate_at_once(directory, tmp_path / "scratch.csv")
    server.proc.send_signal(signal.SIGHUP)
    last = wait_for(server, lambda: tables_after(server, 2))
    assert last["deviations"] and cmg(server) == "A0110" != old
    assert last["reloads"]["succeeded"] == 2 and last["reloads"]["failed"] == 0
    assert server.stop() == 0
