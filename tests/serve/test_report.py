"""POST /v1/report: the report's JSON or page for a body of records, counted
as it streams in; and every way a body can fail to make one."""
import base64
import hashlib
import json
import re
import socket
import subprocess
import time

import pytest
import requests

from conftest import CMG290, SAMPLES, SANITIZED, peak_memory_kib
from rawhttp import exchange, read_until_closed, status_of

TEXT = {"Content-Type": "text/plain"}
JSONL = {"Content-Type": "application/x-ndjson"}


def command_report(tmp_path, body: bytes):
    """The JSON `cmg290 report --json` writes for the same records, with the
    names of its input written as the server names its body."""
    records = tmp_path / "records.txt"
    records.write_bytes(body)
    out = tmp_path / "report.json"
    subprocess.run([CMG290, "report", "-q", "--allow-empty", str(records), "-o",
                    str(tmp_path / "report.html"), "--json", str(out)], check=True, timeout=120)
    return json.loads(out.read_text().replace(json.dumps(str(records)), '"request body"'))


def mixed_body(copies):
    """The samples `copies` times over, with empty lines, CRLF line ends and
    lines longer than a record mixed in, and a last line without its line end."""
    lines = []
    for k in range(copies):
        for n, record in enumerate(SAMPLES):
            lines.append(record + (b"ZZ" if (k + n) % 3 == 0 else b"") +
                         (b"\r" if (k + n) % 7 == 0 else b""))
            if (k + n) % 11 == 0:
                lines.append(b"")
    return b"\n".join(lines)


def test_json_is_the_commands_for_the_same_records(server, tmp_path):
    # About 2.5 MB: many blocks, lines split across them; sent whole, and in
    # chunks of odd sizes.
    body = mixed_body(64)
    want = command_report(tmp_path, body)
    assert want["records"] > 0 and want["empty_lines"] > 0
    got = requests.post(server.url + "/v1/report", data=body, headers=TEXT)
    assert got.status_code == 200
    assert got.headers["Content-Type"] == "application/json"
    assert got.json() == want
    pieces = [body[i:i + 9973] for i in range(0, len(body), 9973)]
    chunked = requests.post(server.url + "/v1/report", data=iter(pieces), headers=TEXT)
    assert chunked.status_code == 200 and chunked.json() == want


def test_json_lines_count_as_the_same_records(server, tmp_path):
    text = b"\n".join(SAMPLES) + b"\n"
    want = command_report(tmp_path, text)
    lines = [json.dumps({"record": r.decode("latin-1")}).encode() for r in SAMPLES]
    got = requests.post(server.url + "/v1/report", data=b"\n".join(lines) + b"\n", headers=JSONL)
    assert got.status_code == 200
    assert got.json() == want
    # Lines of blanks are skipped in JSON Lines, as empty ones are (and
    # keep their numbers).
    got = requests.post(server.url + "/v1/report", headers=JSONL,
                        data=b"\n".join(lines[:5] + [b" \t ", b""] + lines[5:]) + b"\n").json()
    assert got["empty_lines"] == 2
    assert got["records"] == want["records"] and got["status"] == want["status"]


@pytest.mark.parametrize("accept, html", [
    ("text/html", True),
    ("text/html,application/xhtml+xml,*/*;q=0.8", True),
    ("TEXT/HTML; q=0.5", True),
    ("text/html;q=0", False),
    ("application/json", False),
    (None, False),
])
def test_accept_chooses_the_page_or_the_json(server, accept, html):
    headers = dict(TEXT)
    if accept is not None:
        headers["Accept"] = accept
    got = requests.post(server.url + "/v1/report", data=b"\n".join(SAMPLES), headers=headers)
    assert got.status_code == 200
    if html:
        assert got.headers["Content-Type"] == "text/html; charset=utf-8"
        assert got.text.startswith("<!DOCTYPE html>") and "request body" in got.text
    else:
        assert got.json()["records"] == len(SAMPLES)


def test_the_page_is_styled_by_its_hash_in_the_servers_page_policy(server):
    got = requests.post(server.url + "/v1/report", data=b"\n".join(SAMPLES),
                        headers={**TEXT, "Accept": "text/html"})
    policy = got.headers["Content-Security-Policy"]
    assert "default-src 'none'" in policy and "script" not in policy
    assert "frame-ancestors 'none'" in policy
    # The page at / shows the report in a frame that takes on its policy:
    # that policy allows the report's style element by its hash, and
    # nothing else inline.
    style = re.search(r"<style>(.*?)</style>", got.text, re.S).group(1)
    digest = base64.b64encode(hashlib.sha256(style.encode()).digest()).decode()
    page = requests.get(server.url + "/")
    page_policy = page.headers["Content-Security-Policy"]
    assert f"style-src 'self' 'sha256-{digest}'" in page_policy
    assert "unsafe-inline" not in page_policy and "default-src 'self'" in page_policy


@pytest.mark.parametrize("body", [b"", b"\n\r\n\n"])
def test_a_body_without_records_is_refused(server, body):
    got = requests.post(server.url + "/v1/report", data=body, headers=TEXT)
    assert got.status_code == 422
    assert got.json()["code"] == "no_records"


@pytest.mark.parametrize("line, status, code", [
    (b'{"record": 5}', 400, "bad_type"),
    (b'{"record": "x"', 400, "bad_json"),
    (b'{"record": "' + b"x" * 9000 + b'"}', 413, "too_large"),
])
def test_a_refused_json_line_gives_its_error_and_no_report(server, line, status, code):
    lines = [json.dumps({"record": r.decode("latin-1")}).encode() for r in SAMPLES]
    body = b"\n".join(lines[:3] + [line] + lines[3:]) + b"\n"
    got = requests.post(server.url + "/v1/report", data=body, headers=JSONL)
    assert got.status_code == status
    assert got.json()["code"] == code and got.json()["line"] == 4


def post_raw(server, head_lines, body, **kwargs):
    head = ("POST /v1/report HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n" +
            "".join(h + "\r\n" for h in head_lines) + "\r\n").encode()
    return exchange(server.port, head + body, **kwargs)


def test_a_cut_or_malformed_body_gets_no_report(server):
    body = b"\n".join(SAMPLES * 40)
    # Shorter than announced, then the client stops sending.
    answer, closed = post_raw(server, [f"Content-Length: {len(body) + 100}"], body,
                              half_close=True)
    assert status_of(answer) == 400 and b'"incomplete_body"' in answer and closed
    # Chunks whose sizes are not hexadecimal.
    answer, _ = post_raw(server, ["Transfer-Encoding: chunked"],
                         b"%x\r\n" % len(body) + body + b"\r\nzz\r\nabc\r\n0\r\n\r\n")
    assert status_of(answer) == 400 and b'"incomplete_body"' in answer


def test_a_stalled_body_is_cut_off_without_an_answer(server):
    # The shared server's --timeout is 1 second, for each read.
    body = b"\n".join(SAMPLES)
    start = time.monotonic()
    answer, closed = post_raw(server, [f"Content-Length: {2 * len(body)}"], body, timeout=6)
    assert closed and answer == b""
    assert time.monotonic() - start < 4
    # (The connection is closed as its deadline passes; the log line follows.)
    deadline = time.monotonic() + 2
    while not re.search(rb" POST /v1/report 408 0 ", server.log()):
        assert time.monotonic() < deadline, server.log()
        time.sleep(0.02)


def test_the_route_takes_post_only_and_the_batch_types(server):
    got = requests.get(server.url + "/v1/report")
    assert got.status_code == 405 and got.headers["Allow"] == "POST"
    got = requests.post(server.url + "/v1/report", data=b"x", headers={"Content-Type": "text/csv"})
    assert got.status_code == 415
    metrics = requests.get(server.url + "/metrics").text
    assert 'route="/v1/report",code="200"' in metrics


def test_memory_does_not_grow_with_the_records(start_server):
    server = start_server("--threads", "2")
    small = b"\n".join(SAMPLES) + b"\n"
    assert requests.post(server.url + "/v1/report", data=small, headers=TEXT).status_code == 200
    before = peak_memory_kib(server.proc.pid)
    # About 40 MB of records, sent in pieces so that the client holds little.
    count = 32 * 1024

    def pieces():
        for _ in range(count // len(SAMPLES) // 8):
            yield small * 8

    got = requests.post(server.url + "/v1/report", data=pieces(), headers=TEXT)
    assert got.status_code == 200
    assert got.json()["records"] == (count // len(SAMPLES) // 8) * 8 * len(SAMPLES)
    grown = peak_memory_kib(server.proc.pid) - before
    print(f"peak memory grew by {grown} KiB over a body of "
          f"{count // len(SAMPLES) // 8 * 8 * len(small) // 1024} KiB")
    # A sanitizer holds freed memory back (ASan's quarantine): not measured there.
    assert SANITIZED or grown < 8 * 1024


def test_openapi_describes_the_route(server):
    api = requests.get(server.url + "/v1/openapi.json").json()
    post = api["paths"]["/v1/report"]["post"]
    assert set(post["requestBody"]["content"]) == {"text/plain", "application/x-ndjson"}
    assert set(post["responses"]["200"]["content"]) == {"application/json", "text/html"}
    assert {"400", "413", "415", "422"} <= set(post["responses"])


def test_a_client_waiting_for_100_continue_gets_its_report(server):
    body = b"\n".join(SAMPLES)
    answer, _ = post_raw(server, [f"Content-Length: {len(body)}", "Expect: 100-continue",
                                  "Connection: close"], body)
    assert answer.startswith(b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n")
    assert b'"name": "request body"' in answer


def test_the_report_names_the_loaded_tier_table_set(start_server, tmp_path):
    from conftest import export_tier_set
    tables = export_tier_set(tmp_path / "set", name="test set")
    body = b"\n".join(SAMPLES) + b"\n"
    records = tmp_path / "records.txt"
    records.write_bytes(body)
    out = tmp_path / "report.json"
    subprocess.run([CMG290, "report", "-q", str(records), "-o", str(tmp_path / "r.html"),
                    "--json", str(out), "--tier-tables", str(tables)], check=True, timeout=60)
    want = json.loads(out.read_text().replace(json.dumps(str(records)), '"request body"'))
    server = start_server("--tier-tables", str(tables))
    got = requests.post(server.url + "/v1/report", data=body, headers=TEXT).json()
    assert got == want
    assert got["tier_set"]["identity"].startswith("test set")
    compiled = command_report(tmp_path, body)
    assert compiled["tier_set"]["identity"] != got["tier_set"]["identity"]


def test_a_refused_line_is_answered_before_the_rest_of_the_body(server):
    # The body announces a megabyte more than is sent: the refusal must not
    # wait for it (the shared server's --timeout is 1 second).
    lines = [json.dumps({"record": r.decode("latin-1")}).encode() for r in SAMPLES]
    body = lines[0] + b"\n{\"record\": 5}\n" + b"\n".join(lines[1:]) + b"\n"
    head = ("POST /v1/report HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-ndjson\r\n"
            f"Content-Length: {len(body) + (1 << 20)}\r\n\r\n").encode()
    answer, _ = exchange(server.port, head + body, timeout=5)
    assert status_of(answer) == 400 and b'"line":2' in answer


def test_a_json_line_without_end_is_refused_without_being_held(start_server):
    server = start_server("--max-body", "8192")
    small = b"\n".join(json.dumps({"record": r.decode("latin-1")}).encode() for r in SAMPLES)
    assert requests.post(server.url + "/v1/report", data=small, headers=JSONL).status_code == 200
    before = peak_memory_kib(server.proc.pid)

    # 40 MB of one line, sent until the server stops taking it.
    head = ("POST /v1/report HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-ndjson\r\n"
            f"Content-Length: {12 + 640 * 65536}\r\n\r\n").encode() + b'{"record": "'
    with socket.create_connection(("127.0.0.1", server.port), timeout=10) as s:
        try:
            s.sendall(head)
            for _ in range(640):
                s.sendall(b"x" * 65536)
        except OSError:
            pass  # refused while sending
        answer, _ = read_until_closed(s, 5)
    assert status_of(answer) == 413 and b'"line":1' in answer
    assert peak_memory_kib(server.proc.pid) - before < 8 * 1024


def test_a_report_needs_the_token_when_one_is_set(start_server, tmp_path):
    token = "report-token-0123456789abcdef"
    (tmp_path / "token").write_text(token + "\n")
    server = start_server("--token-file", str(tmp_path / "token"))
    body = b"\n".join(SAMPLES)
    refused = requests.post(server.url + "/v1/report", data=body, headers=TEXT)
    assert refused.status_code == 401 and refused.json()["code"] == "unauthorized"
    ok = requests.post(server.url + "/v1/report", data=body,
                       headers={**TEXT, "Authorization": "Bearer " + token})
    assert ok.status_code == 200 and ok.json()["records"] == len(SAMPLES)


def weights_file(tmp_path, records):
    """A weights file with every pair `cmg290 report` asks for (from its
    complaints about a file of none), and one that lacks them all."""
    empty = tmp_path / "no-weights.csv"
    empty.write_text("cmg,tier,weight,average_los\n")
    refused = subprocess.run([CMG290, "report", "-q", str(records), "-o", str(tmp_path / "no.html"),
                              "--weights", str(empty)], capture_output=True, text=True, timeout=60)
    pairs = re.findall(r": no weight for cmg (\d{4}) tier ([A-D])\n", refused.stderr)
    assert refused.returncode == 2 and len(pairs) > 20
    full = tmp_path / "weights.csv"
    full.write_text("cmg,tier,weight,average_los\n" + "".join(
        f"{cmg},{tier},{0.5 + (i * 37 % 100) / 73:.4f},{'' if i % 7 == 0 else 5 + i % 23}\n"
        for i, (cmg, tier) in enumerate(pairs)))
    return full, empty


def test_weights_given_at_start_give_the_commands_case_mix_index(start_server, tmp_path):
    body = mixed_body(4)
    records = tmp_path / "records.txt"
    records.write_bytes(body)
    weights, empty = weights_file(tmp_path, records)
    out = tmp_path / "report.json"
    subprocess.run([CMG290, "report", "-q", str(records), "-o", str(tmp_path / "r.html"),
                    "--json", str(out), "--weights", str(weights)], check=True, timeout=60)
    want = json.loads(out.read_text().replace(json.dumps(str(records)), '"request body"'))
    assert want["case_mix"]["case_mix_index"] is not None
    server = start_server("--weights", str(weights))
    got = requests.post(server.url + "/v1/report", data=body, headers=TEXT).json()
    assert got == want
    # A weights file the set's pairs are missing from stops the server from starting.
    refused = subprocess.run([CMG290, "serve", "--listen", "127.0.0.1:0", "--weights", str(empty)],
                             capture_output=True, text=True, timeout=10)
    assert refused.returncode == 2 and "no weight for cmg" in refused.stderr


def test_an_http10_client_gets_its_report(server):
    body = b"\n".join(SAMPLES)
    answer, closed = exchange(server.port, b"POST /v1/report HTTP/1.0\r\nContent-Type: text/plain\r\n"
                              b"Content-Length: %d\r\n\r\n" % len(body) + body)
    assert status_of(answer) == 200 and closed
    assert b"Content-Length: " in answer and b'"name": "request body"' in answer


def test_a_report_body_below_the_minimum_rate_is_cut(start_server):
    server = start_server("--min-body-rate", "100000", "--body-rate-window", "1",
                          "--timeout", "10")
    head = (b"POST /v1/report HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
            b"Content-Length: 10000000\r\n\r\n")
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", server.port), timeout=10) as s:
        s.sendall(head)
        try:
            while time.monotonic() - start < 8:
                s.sendall(SAMPLES[0] + b"\n")  # some 6 KB a second
                time.sleep(0.2)
        except OSError:
            pass
        answer, _ = read_until_closed(s, 5)
    assert status_of(answer) != 200
    assert time.monotonic() - start < 6
