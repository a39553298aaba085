"""Requests `cmg290 serve` will not process correctly are refused with a 4xx
and a closed connection, never answered 200; pipelined and half-closed
requests are answered; a batch that cannot complete says so."""
import gzip
import json
import re
import socket
import struct
import time

import pytest
import requests

from conftest import SAMPLES
from rawhttp import answers_in, chunked_body, exchange, status_of

RECORD = SAMPLES[0]
GOOD_LINE = json.dumps({"record": RECORD.decode("latin-1")}).encode()


def post(path, body, *headers, length=True):
    head = [f"POST {path} HTTP/1.1", "Host: x", *headers]
    if length:
        head.append(f"Content-Length: {len(body)}")
    return "\r\n".join(head).encode() + b"\r\n\r\n" + body


def refused(server, data, status):
    answer, closed = exchange(server.port, data)
    assert status_of(answer) == status, answer[:200]
    assert b"Connection: close" in answer.split(b"\r\n\r\n")[0]
    assert closed, "the connection should be closed after a refusal"
    return answer


def test_content_encodings_are_refused_not_grouped_as_bytes(server):
    body = gzip.compress(b"\n".join(SAMPLES) * 40)
    for coding in ["gzip", "xz", "br, gzip", "GZIP"]:
        for path in ["/v1/group/batch", "/v1/group"]:
            answer = refused(server, post(path, body, "Content-Type: text/plain",
                                          f"Content-Encoding: {coding}"), 415)
            assert b'"status"' not in answer
    plain = post("/v1/group", RECORD, "Content-Type: text/plain", "Content-Encoding: identity")
    assert status_of(exchange(server.port, plain)[0]) == 200


@pytest.mark.parametrize("headers, body", [
    (["Content-Length: 0x4e3"], b"x" * 0x4e3),
    (["Content-Length: 10", "Content-Length: 10"], b"y" * 10),
    (["Content-Length: 10", "Content-Length: 20"], b"y" * 20),
    (["Content-Length: 10, 10"], b"y" * 10),
    (["Content-Length: +10"], b"y" * 10),
    (["Transfer-Encoding: gzip, chunked"], b"5\r\nhello\r\n0\r\n\r\n"),
    (["Transfer-Encoding: gzip"], b"hello"),
    (["Transfer-Encoding: chunked", "Content-Length: 5"], b"5\r\nhello\r\n0\r\n\r\n"),
    (["Content-Length: 5", "Transfer-Encoding: chunked"], b"5\r\nhello\r\n0\r\n\r\n"),
    (["Transfer-Encoding: chunked", "Transfer-Encoding: chunked"], b"0\r\n\r\n"),
])
def test_body_framing_that_is_not_plain_is_refused(server, headers, body):
    data = post("/v1/group/batch", body, "Content-Type: text/plain", *headers, length=False)
    refused(server, data, 400)


@pytest.mark.parametrize("path, status", [("/v1/nothing", 404), ("/v1/group?edits=maybe", 400)])
def test_a_refusal_waiting_for_100_continue_is_answered_at_once_and_closed(start_server, path,
                                                                          status):
    # The body is withheld; the server must not wait for it to drop it.
    server = start_server("--timeout", "10")
    data = post(path, b"", "Content-Type: text/plain", "Expect: 100-continue",
                "Content-Length: 1251", length=False)
    answer, closed = exchange(server.port, data, timeout=3)
    assert status_of(answer) == status, answer[:200]
    assert b"Connection: close" in answer.split(b"\r\n\r\n")[0] and closed
    assert b"100 Continue" not in answer


def test_host_must_be_given_once_in_http_1_1(server):
    for hosts in [[], ["Host: a", "Host: b"], ["Host: a", "Host: a"]]:
        data = "\r\n".join(["GET /healthz HTTP/1.1", *hosts]).encode() + b"\r\n\r\n"
        refused(server, data, 400)
    answer, _ = exchange(server.port, b"GET /healthz HTTP/1.0\r\n\r\n")
    assert status_of(answer) == 200


def test_post_without_a_length_gets_411_and_multipart_415(server):
    refused(server, b"POST /v1/group HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n\r\n",
            411)
    form = (b"--b\r\nContent-Disposition: form-data; name=\"record\"\r\n\r\n" + RECORD +
            b"\r\n--b--\r\n")
    for path in ["/v1/group", "/v1/group/batch"]:
        refused(server, post(path, form, "Content-Type: multipart/form-data; boundary=b"), 415)


def test_a_broken_chunk_frame_never_ends_as_a_complete_answer(server):
    # LF instead of CRLF after the second chunk's size.
    body = b"%x\r\n%s\r\n" % (len(RECORD) + 1, RECORD + b"\n")
    body += b"%x\n%s\r\n0\r\n\r\n" % (len(RECORD) + 1, RECORD + b"\n")
    data = post("/v1/group/batch", body, "Content-Type: text/plain",
                "Transfer-Encoding: chunked", length=False)
    answer, closed = exchange(server.port, data)
    assert closed
    if status_of(answer) == 200:
        results, complete = chunked_body(answer)
        assert not complete
        assert json.loads(results.splitlines()[-1])["code"] == "incomplete_body"
    else:
        assert status_of(answer) == 400


def test_headers_too_large_get_431_and_the_connection_closed(server):
    long_line = b"GET /healthz?" + b"a" * 100_000 + b" HTTP/1.1\r\nHost: x\r\n\r\n"
    many = b"GET /healthz HTTP/1.1\r\nHost: x\r\n" + (b"X-A: " + b"b" * 8000 + b"\r\n") * 40
    for data in [long_line, many + b"\r\n"]:
        refused(server, data, 431)


def test_pipelined_requests_are_all_answered_in_order(server):
    group = post("/v1/group", RECORD, "Content-Type: text/plain")
    batch = post("/v1/group/batch", b"\n".join(SAMPLES[:3]), "Content-Type: text/plain")
    health = b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"
    last = b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
    answer, closed = exchange(server.port, group + health + batch + group + last)
    assert closed
    assert answers_in(answer) == 5
    assert [int(s) for s in re.findall(rb"HTTP/1.1 (\d{3})", answer)] == [200] * 5
    assert answer.count(b'"cmg":"B0101"') == 3


def test_a_half_closed_client_gets_its_whole_answer(server):
    single, _ = exchange(server.port, post("/v1/group", RECORD, "Content-Type: text/plain"),
                         half_close=True)
    assert status_of(single) == 200 and b'"cmg":"B0101"' in single
    records = (b"\n".join(SAMPLES) + b"\n") * 34
    records = b"\n".join(records.splitlines()[:1000]) + b"\n"
    answer, closed = exchange(server.port, post("/v1/group/batch", records,
                                                "Content-Type: text/plain"), half_close=True)
    assert closed and status_of(answer) == 200
    results, complete = chunked_body(answer)
    assert complete and len(results.splitlines()) == 1000


def test_ranges_are_not_taken(server):
    document = requests.get(server.url + "/v1/openapi.json").content
    for count, status in [(1000, 200), (2700, 431)]:
        ranges = ",".join(f"{i}-{i + 5}" for i in range(0, count * 3, 3))
        got = requests.get(server.url + "/v1/openapi.json", headers={"Range": "bytes=" + ranges})
        assert got.status_code == status
        assert len(got.content) <= len(document)
        assert status != 200 or got.content == document

    one = requests.get(server.url + "/", headers={"Range": "bytes=0-10"})
    assert one.status_code == 200 and len(one.content) > 11


def test_numbers_out_of_range_and_repeated_members_are_bad_json(server):
    for body in [b'{"record":1e999}', b'{"record":-1e999}', b'{"record":"a","record":"b"}',
                 b'{"fields":{"birth_date":"19500310","birth_date":"19600310"}}']:
        got = requests.post(server.url + "/v1/group", data=body,
                            headers={"Content-Type": "application/json"})
        assert got.status_code == 400 and got.json()["code"] == "bad_json", body
    # In a batch the good results before the bad line stay, as for any
    # refused line.
    body = GOOD_LINE + b"\n" + GOOD_LINE + b'\n{"record":1e999}\n' + GOOD_LINE + b"\n"
    answer, _ = exchange(server.port, post("/v1/group/batch", body,
                                           "Content-Type: application/x-ndjson"))
    results, complete = chunked_body(answer)
    lines = [json.loads(x) for x in results.splitlines()]
    assert not complete
    assert [x.get("line") for x in lines] == [1, 2, 3]
    assert lines[0]["cmg"] == "B0101" and lines[2]["code"] == "bad_json"


def test_answers_with_results_are_not_stored(server):
    text = {"Content-Type": "text/plain"}
    for path in ["/v1/group", "/v1/explain", "/v1/group/batch"]:
        got = requests.post(server.url + path, data=RECORD, headers=text)
        assert got.status_code == 200 and got.headers["Cache-Control"] == "no-store", path
    assert requests.get(server.url + "/metrics").headers["Cache-Control"] == "no-store"


def metric(server, name):
    text = requests.get(server.url + "/metrics").text
    m = re.search("^" + re.escape(name) + r" (\S+)$", text, re.M)
    return float(m.group(1)) if m else 0.0


def test_a_cut_batch_is_logged_and_counted_as_failed_with_the_bytes_sent(server):
    refused_400 = 'cmg290_http_requests_total{route="/v1/group/batch",code="400"}'
    before = metric(server, refused_400)
    body = GOOD_LINE + b"\n" + b'{"record": 5}\n'
    answer, _ = exchange(server.port, post("/v1/group/batch", body,
                                           "Content-Type: application/x-ndjson"))
    results, complete = chunked_body(answer)
    assert not complete
    assert metric(server, refused_400) == before + 1
    logged = [x for x in server.log().decode().splitlines() if "/v1/group/batch 400" in x]
    assert logged and logged[-1].split()[5] == str(len(results))
    # A client gone (its connection reset) in the middle of a large batch.
    head = post("/v1/group/batch", b"", "Content-Type: text/plain", "Content-Length: 100000000",
                length=False)
    with socket.create_connection(("127.0.0.1", server.port)) as s:
        s.sendall(head + b"\n".join(SAMPLES) * 100)
        s.recv(100)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    gone = 'cmg290_http_requests_total{route="/v1/group/batch",code="499"}'
    for _ in range(50):
        if metric(server, gone) >= 1:
            break
        time.sleep(0.1)
    assert metric(server, gone) >= 1


def post_1_0(path, body, *headers):
    head = [f"POST {path} HTTP/1.0", "Content-Type: text/plain", *headers]
    return "\r\n".join(head).encode() + b"\r\n\r\n" + body


def test_http_1_0_framing_expectations_and_keep_alive(server):
    chunked = b"%x\r\n%s\r\n0\r\n\r\n" % (len(RECORD), RECORD)
    # HTTP/1.0 has no transfer codings: the body's framing cannot be trusted.
    for keep in [[], ["Connection: keep-alive"]]:
        for path in ["/v1/group", "/v1/group/batch"]:
            answer = refused(server, post_1_0(path, chunked, "Transfer-Encoding: chunked", *keep),
                             400)
            assert b"Transfer-Encoding" in answer and b'"cmg"' not in answer
    # A 1.0 client does not wait for 100 Continue: it gets the final answer only.
    length = f"Content-Length: {len(RECORD)}"
    answer, closed = exchange(server.port, post_1_0("/v1/group", RECORD, length,
                                                    "Expect: 100-continue"))
    assert answer.startswith(b"HTTP/1.1 200 ") and b"100 Continue" not in answer
    assert b'"cmg":"B0101"' in answer and closed
    # Without keep-alive the connection closes after the answer; with it, it
    # stays open and says so, as a 1.0 client needs to hear.
    answer, closed = exchange(server.port, post_1_0("/v1/group", RECORD, length), timeout=2)
    assert status_of(answer) == 200 and closed
    kept = post_1_0("/v1/group", RECORD, length, "Connection: keep-alive")
    answer, closed = exchange(server.port, kept + kept + post_1_0("/v1/group", RECORD, length),
                              timeout=2)
    assert closed and [int(s) for s in re.findall(rb"HTTP/1.1 (\d{3})", answer)] == [200] * 3
    heads = [a.split(b"\r\n\r\n")[0] for a in answer.split(b"HTTP/1.1 ")[1:]]
    assert [b"\r\nConnection: keep-alive\r\n" in h + b"\r\n" for h in heads] == [True, True, False]
    assert b"Connection: close" in heads[2]
    # HTTP/1.1 is kept alive without saying so.
    answer, _ = exchange(server.port, post("/v1/group", RECORD, "Content-Type: text/plain") +
                         b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    assert answers_in(answer) == 2 and b"keep-alive" not in answer
    # A 1.0 batch: its streamed answer could not be framed, so the client is
    # told to upgrade and the connection closes, whatever it asked.
    for keep in [[], ["Connection: keep-alive"]]:
        answer, closed = exchange(server.port, post_1_0("/v1/group/batch", RECORD, length, *keep),
                                  timeout=2)
        assert status_of(answer) == 426 and closed
        assert b"\r\nUpgrade: HTTP/1.1\r\n" in answer and b'"cmg"' not in answer
