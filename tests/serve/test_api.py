"""Every route of `cmg290 serve` over real HTTP on loopback, and every error answer."""
import http.client
import json
import re
import subprocess

import pytest
import requests

from conftest import CMG290, SAMPLES

TEXT = {"Content-Type": "text/plain"}
JSON = {"Content-Type": "application/json"}
NDJSON = {"Content-Type": "application/x-ndjson"}


def command_output(body: bytes):
    """The bytes `cmg290 group -f jsonl` writes for the same lines."""
    return subprocess.run([CMG290, "group", "-f", "jsonl", "-q", "-"], input=body,
                          capture_output=True, check=False).stdout


def command_results(body: bytes):
    """What `cmg290 group -f jsonl` gives for the same lines, one object a line."""
    return [json.loads(line) for line in command_output(body).splitlines()]


def without_set(result):
    return {k: v for k, v in result.items() if k != "tier_set"}


def without_line(result):
    return {k: v for k, v in result.items() if k != "line"}


def test_single_calls_give_the_command_results_for_every_sample(server):
    expected = command_results(b"\n".join(SAMPLES) + b"\n")
    assert len(expected) == len(SAMPLES)
    with requests.Session() as s:
        for record, want in zip(SAMPLES, expected):
            text = s.post(server.url + "/v1/group", data=record + b"\r\n", headers=TEXT)
            assert text.status_code == 200
            assert text.headers["Content-Type"] == "application/json"
            assert text.json() == without_line(want)
            as_json = s.post(server.url + "/v1/group", json={"record": record.decode("latin-1")})
            assert as_json.json() == without_line(want)


def test_fields_build_the_record_the_explanation_reads_back(server):
    record = SAMPLES[1]
    explained = requests.post(server.url + "/v1/explain", data=record, headers=TEXT).json()
    fields = {k: v for k, v in explained["fields"].items() if v.strip()}
    by_fields = requests.post(server.url + "/v1/group", json={"fields": fields})
    assert by_fields.status_code == 200
    # The same result, and the same identity of the set as the explanation's.
    assert without_set(by_fields.json()) == explained["result"]
    assert by_fields.json()["tier_set"] == explained["tier_set"]
    assert by_fields.json() == without_line(command_results(record)[0])
    # The same fields through the explanation.
    again = requests.post(server.url + "/v1/explain", json={"fields": fields}).json()
    assert again["result"] == explained["result"]
    assert "tier" in again and "checks" in again


def test_bytes_above_127_pass_as_latin1_characters(server):
    record = bytearray(SAMPLES[0])
    record[2] = 0xE9  # breaks the identifier: status 1
    expected = without_line(command_results(bytes(record))[0])
    assert expected["status"] == 1
    sent = requests.post(server.url + "/v1/group",
                         json={"record": bytes(record).decode("latin-1")})
    assert sent.json() == expected
    beyond = requests.post(server.url + "/v1/group", json={"record": "IRF\u0100PAI"})
    assert beyond.status_code == 400
    assert beyond.json()["field"] == "record"


def test_text_batch_streams_the_command_results_in_order(server):
    # Empty lines keep their numbers, CRLF and a last line without a line end
    # count, a long line is read from its head, a short one as if filled out.
    body = (b"\n".join(SAMPLES[:10]) + b"\r\n\n" + SAMPLES[10] + b"x" * 5000 + b"\n" +
            SAMPLES[11][:700] + b"\n" + b"\n".join(SAMPLES[12:]))
    got = requests.post(server.url + "/v1/group/batch", data=body, headers=TEXT)
    assert got.status_code == 200
    assert got.headers["Content-Type"] == "application/x-ndjson"
    assert got.headers.get("Transfer-Encoding") == "chunked"
    # Byte for byte what the command writes, the set's identity included.
    assert got.content == command_output(body)
    lines = [json.loads(line) for line in got.content.splitlines()]
    tables = requests.get(server.url + "/v1/tables").json()
    identity = {k: v for k, v in tables.items() if k not in ("entries", "loaded_at", "reloads")}
    assert all(r["tier_set"] == identity for r in lines)
    assert [r["line"] for r in lines] == list(range(1, 11)) + list(range(12, len(SAMPLES) + 2))


def test_json_lines_batch_takes_both_shapes(server):
    fields = {"record_id": "IRF-PAI", "birth_date": "19500310", "age_date": "20200310",
              "impairment_group": "  01.2", "version_date": "20100815"}
    body = "\n".join([json.dumps({"record": SAMPLES[0].decode("latin-1")}), "",
                      json.dumps({"fields": fields}), "  "]).encode()
    got = requests.post(server.url + "/v1/group/batch", data=body, headers=NDJSON)
    lines = [json.loads(line) for line in got.content.splitlines()]
    assert [r["line"] for r in lines] == [1, 3]
    assert without_line(lines[0]) == without_line(command_results(SAMPLES[0])[0])
    assert lines[1]["status"] == 0


def test_empty_batch_answers_nothing(server):
    got = requests.post(server.url + "/v1/group/batch", data=b"", headers=TEXT)
    assert got.status_code == 200 and got.content == b""


def raw_batch(server, body: bytes, content_type="application/x-ndjson"):
    """Status, body lines and whether the chunked answer ended properly."""
    conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
    conn.request("POST", "/v1/group/batch", body=body, headers={"Content-Type": content_type})
    resp = conn.getresponse()
    data = b""
    complete = True
    try:
        while True:
            chunk = resp.read1(65536)
            if not chunk:
                break
            data += chunk
    except http.client.IncompleteRead as e:
        data += e.partial
        complete = False
    conn.close()
    return resp.status, data.splitlines(), complete


@pytest.mark.parametrize("bad_line, code, field", [
    (b'{"record": ', "bad_json", None),
    (b'{"record": 5}', "bad_type", "record"),
    (b'{"fields": {"motor_item_1": "123"}}', "too_long", "motor_item_1"),
    (b'{"fields": {"no_such_field": "1"}}', "unknown_field", "no_such_field"),
    (b"x" * 9000, "too_large", None),
])
def test_refused_batch_line_ends_the_answer_with_its_error(server, bad_line, code, field):
    good = json.dumps({"record": SAMPLES[0].decode("latin-1")}).encode()
    status, lines, complete = raw_batch(server, good + b"\n" + good + b"\n" + bad_line + b"\n" +
                                        good + b"\n")
    assert status == 200
    assert not complete, "a refused batch must not look complete"
    assert [json.loads(x).get("line") for x in lines] == [1, 2, 3]
    error = json.loads(lines[-1])
    assert error["code"] == code and error["field"] == field and error["line"] == 3
    assert "error" in error


@pytest.mark.parametrize("body, code, field", [
    (b'{"record": "abc"', "bad_json", None),
    (b'["record"]', "bad_type", None),
    (b'{"record": 5}', "bad_type", "record"),
    (b'{"record": null}', "bad_type", "record"),
    (b'{"fields": []}', "bad_type", "fields"),
    (b'{"fields": {"motor_item_3": 5}}', "bad_type", "motor_item_3"),
    (b'{"fields": {"motor_item_3": "5", "motor_item_99": "5"}}', "unknown_field", "motor_item_99"),
    (b'{"fields": {"birth_date": "195003100"}}', "too_long", "birth_date"),
    (b'{"record": "x", "fields": {}}', "bad_type", "fields"),
    (b'{"recrod": "x"}', "unknown_field", "recrod"),
    (b'{}', "missing_record", None),
    (b"", "missing_record", None),
])
@pytest.mark.parametrize("path", ["/v1/group", "/v1/explain"])
def test_bad_single_bodies_get_400_naming_what_and_where(server, path, body, code, field):
    got = requests.post(server.url + path, data=body, headers=JSON)
    assert got.status_code == 400
    assert got.json() == {"error": got.json()["error"], "code": code, "field": field}
    assert got.json()["error"]


def test_error_answers_for_size_type_path_and_method(server):
    big = b"x" * 8193
    over = requests.post(server.url + "/v1/group", data=big, headers=TEXT)
    assert over.status_code == 413 and over.json()["code"] == "too_large"
    # Without a length up front: counted as it arrives.
    chunked = requests.post(server.url + "/v1/group", data=iter([big[:5000], big[5000:]]),
                            headers=TEXT)
    assert chunked.status_code == 413
    assert requests.post(server.url + "/v1/group", data=b"x" * 8192, headers=TEXT).ok
    form = {"Content-Type": "application/x-www-form-urlencoded"}
    assert requests.post(server.url + "/v1/group", data=b"a=b", headers=form).status_code == 415
    # Refusals read the body first, so the connection stays usable.
    with requests.Session() as s:
        for path, code in [("/v1/nothing", 404), ("/healthz", 405), ("/v1/group", 413)]:
            assert s.post(server.url + path, data=b"y" * 20000, headers=TEXT).status_code == code
        assert s.get(server.url + "/healthz").ok
    missing = requests.get(server.url + "/v2/group")
    assert missing.status_code == 404 and missing.json()["code"] == "not_found"
    wrong = requests.get(server.url + "/v1/group")
    assert wrong.status_code == 405 and wrong.headers["Allow"] == "POST"
    assert requests.post(server.url + "/metrics").headers["Allow"] == "GET, HEAD"
    assert requests.delete(server.url + "/").status_code == 405


def test_layout_healthz_and_openapi(server):
    layout = requests.get(server.url + "/v1/layout").json()
    assert layout["record_length"] == 1251
    names = [f["name"] for f in layout["fields"]]
    assert len(names) == 48 and "version_date" in names and "comorbid_code_25" in names
    assert all(f["end"] == f["start"] + f["length"] - 1 for f in layout["fields"])
    assert requests.get(server.url + "/healthz").json()["status"] == "ok"
    api = requests.get(server.url + "/v1/openapi.json").json()
    assert api["openapi"].startswith("3.")
    for path in ["/v1/group", "/v1/group/batch", "/v1/explain", "/v1/layout", "/v1/tables",
                 "/healthz", "/metrics"]:
        assert path in api["paths"], path


def test_every_member_of_a_result_is_documented(server):
    documented = requests.get(server.url + "/v1/openapi.json").json()["components"]["schemas"][
        "Result"]["properties"]
    single = requests.post(server.url + "/v1/group?edits=true", data=SAMPLES[0], headers=TEXT)
    batch = requests.post(server.url + "/v1/group/batch?edits=true", data=SAMPLES[0],
                          headers=TEXT)
    for answer in [single.json(), json.loads(batch.content)]:
        assert set(answer) <= set(documented), set(answer) - set(documented)
        assert list(answer)[-2:] == ["edits", "tier_set"]


def test_page_and_its_files_come_from_the_server(server):
    page = requests.get(server.url + "/")
    assert page.status_code == 200 and page.headers["Content-Type"].startswith("text/html")
    for src in re.findall(rb'(?:src|href)="([^"]+)"', page.content):
        assert src.startswith(b"/"), "the page loads nothing from elsewhere"
        assert requests.get(server.url + src.decode()).status_code == 200
    assert "default-src 'self'" in page.headers["Content-Security-Policy"]


def test_metrics_count_routes_codes_records_and_latency(server):
    before = requests.get(server.url + "/metrics").text
    requests.post(server.url + "/v1/group", data=SAMPLES[0], headers=TEXT)
    requests.post(server.url + "/v1/group/batch", data=b"\n".join(SAMPLES[:5]), headers=TEXT)
    requests.get(server.url + "/no/such/thing")
    text = requests.get(server.url + "/metrics").text

    def value(metrics, name):
        m = re.search("^" + re.escape(name) + r" (\S+)$", metrics, re.M)
        return float(m.group(1)) if m else 0.0

    assert value(text, "cmg290_records_grouped_total") - \
        value(before, "cmg290_records_grouped_total") == 6
    ok = 'cmg290_http_requests_total{route="/v1/group",code="200"}'
    assert value(text, ok) - value(before, ok) == 1
    assert value(text, 'cmg290_http_requests_total{route="other",code="404"}') >= 1
    assert "# TYPE cmg290_http_request_duration_seconds histogram" in text
    count = value(text, 'cmg290_http_request_duration_seconds_count{route="/v1/group"}')
    assert value(text, 'cmg290_http_request_duration_seconds_bucket{route="/v1/group",le="+Inf"}') \
        == count
    assert "no/such" not in text


def test_log_has_one_line_per_request_and_nothing_of_the_records(server):
    requests.post(server.url + "/v1/group", json={"fields": {"birth_date": "19311225"}})
    requests.get(server.url + "/secret-19311225")
    lines = server.log().decode().splitlines()
    requests_logged = [x for x in lines if not x.startswith("cmg290 serve:")]
    assert requests_logged
    pattern = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \S+ [A-Z]+ (/\S*|other) "
                         r"\d{3} \d+ \d+us$")
    for line in requests_logged:
        assert pattern.match(line), line
    log = server.log()
    assert b"19311225" not in log and b"IRF-PAI" not in log and b"secret" not in log


def test_large_batches_give_the_same_answer_whichever_way_they_are_read(server):
    # Over 1 MiB with a length: read from the socket and grouped on a thread
    # of its own; sent in chunks: read by the library, also on its own thread.
    body = (b"\n".join(SAMPLES) + b"\n") * 120
    expected = command_results(body)
    with requests.Session() as s:
        direct = s.post(server.url + "/v1/group/batch", data=body, headers=TEXT)
        assert [json.loads(x) for x in direct.content.splitlines()] == expected
        pieces = (body[i:i + 70_001] for i in range(0, len(body), 70_001))
        chunked = s.post(server.url + "/v1/group/batch", data=pieces, headers=TEXT)
        assert chunked.content == direct.content
        # The connection is still in step after a body read past the library.
        assert s.post(server.url + "/v1/group", data=SAMPLES[0], headers=TEXT).json()["cmg"] \
            == "B0101"


def test_refused_line_deep_in_a_large_batch(server):
    good = json.dumps({"record": SAMPLES[0].decode("latin-1")}).encode() + b"\n"
    body = good * 2000 + b'{"record": 1}\n' + good * 10
    status, lines, complete = raw_batch(server, body)
    assert status == 200 and not complete
    assert len(lines) == 2001
    assert json.loads(lines[-1])["line"] == 2001 and json.loads(lines[-1])["code"] == "bad_type"
