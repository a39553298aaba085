"""Edits over HTTP: the single answer and the batch carry them when asked
(?edits=true), the explanation always; results never change with them; a
malformed edits option is refused like an unknown path."""
import json
import re
import subprocess

import pytest
import requests

from conftest import CMG290, SAMPLES, export_tier_set
from rawhttp import answers_in, exchange, status_of

TEXT = {"Content-Type": "text/plain"}
NDJSON = {"Content-Type": "application/x-ndjson"}


def fields_of(server, **changed):
    """A record that groups without an edit under table version 2.90, with
    the fields given changed."""
    layout = requests.get(server.url + "/v1/layout").json()["fields"]
    fields = {"record_id": "IRF-PAI", "record_kind": "1", "birth_date": "19500310",
              "age_date": "20200310", "version_date": "20200315",
              "impairment_group": "  01.1"}
    for f in layout:
        if f["name"].startswith(("motor_item_", "cognitive_item_")):
            fields[f["name"]] = "04"
    fields.update(changed)
    return fields


def record_of(server, **changed):
    """The same record as text."""
    layout = {f["name"]: f for f in requests.get(server.url + "/v1/layout").json()["fields"]}
    record = bytearray(b" " * 1251)
    for name, value in fields_of(server, **changed).items():
        start = layout[name]["start"] - 1
        record[start:start + len(value)] = value.encode("latin-1")
    return bytes(record)


def without_edits(result):
    return {k: v for k, v in result.items() if k != "edits"}


def codes_of(result):
    return [(e["code"], e["field"]) for e in result["edits"]]


def batch_lines(server, body, headers, query="?edits=true"):
    got = requests.post(server.url + "/v1/group/batch" + query, data=body, headers=headers)
    assert got.status_code == 200
    return [json.loads(line) for line in got.content.splitlines()]


def test_single_answer_carries_edits_only_when_asked(server):
    faulty = fields_of(server, motor_item_3="08", comorbid_code_1="J3801")
    url = server.url + "/v1/group"
    plain = requests.post(url, json={"fields": faulty}).json()
    assert "edits" not in plain
    assert requests.post(url + "?edits=false", json={"fields": faulty}).json() == plain
    for query in ["?edits=true", "?edits=1", "?EDITS=True", "?edits=%74rue&", "?&edits=true"]:
        asked = requests.post(url + query, json={"fields": faulty}).json()
        assert without_edits(asked) == plain, query
        assert codes_of(asked) == [("comorbid-code-form", "comorbid_code_1"),
                                   ("item-value", "motor_item_3")], query
    item = asked["edits"][1]
    assert item["severity"] == "error" and item["value"] == "08"
    assert "counts as 8" in item["message"]
    form = asked["edits"][0]
    assert form["value"] == "J3801" and "J38.01^^" in form["message"]
    # The same record as text; a clean record gets an empty list.
    as_text = requests.post(url + "?edits=true", data=record_of(
        server, motor_item_3="08", comorbid_code_1="J3801"), headers=TEXT).json()
    assert as_text == asked
    clean = requests.post(url + "?edits=true", json={"fields": fields_of(server)}).json()
    assert clean["status"] == 0 and clean["edits"] == []
    # Values are raw bytes: control bytes and bytes above 127 come back escaped.
    raw = requests.post(url + "?edits=true", headers=TEXT,
                        data=record_of(server, comorbid_code_2="I10.\x01\"\\\x80"))
    assert raw.json()["edits"][0]["value"] == "I10.\x01\"\\\x80"
    assert b"\x01" not in raw.content and b"\x80" not in raw.content


@pytest.mark.parametrize("kind", ["text", "ndjson"])
def test_batch_carries_edits_on_request_in_input_order(server, kind):
    records = [SAMPLES[0], record_of(server, motor_item_3="08", comorbid_code_1="J3801"),
               record_of(server), SAMPLES[5]]
    if kind == "text":
        body, headers = b"\r\n".join(records) + b"\n\n", TEXT
    else:
        body = b"\n".join(json.dumps({"record": r.decode("latin-1")}).encode() for r in records)
        headers = NDJSON
    plain = batch_lines(server, body, headers, query="")
    asked = batch_lines(server, body, headers)
    assert [without_edits(r) for r in asked] == plain
    assert all("edits" not in r for r in plain)
    assert [r["line"] for r in asked] == [1, 2, 3, 4]
    assert codes_of(asked[1]) == [("comorbid-code-form", "comorbid_code_1"),
                                  ("item-value", "motor_item_3")]
    assert asked[2]["edits"] == []
    # Each line's edits are those of the single call.
    for record, line in zip(records, asked):
        single = requests.post(server.url + "/v1/group?edits=true", data=record,
                               headers=TEXT).json()
        assert single == {k: v for k, v in line.items() if k != "line"}


def test_results_are_the_same_with_and_without_edits(server):
    generated = subprocess.run([CMG290, "sample", "--count", "3000", "--seed", "26"],
                               capture_output=True, check=True).stdout
    body = b"\n".join(SAMPLES) + b"\n" + generated
    plain = batch_lines(server, body, TEXT, query="")
    asked = batch_lines(server, body, TEXT)
    assert len(plain) == len(SAMPLES) + 3000
    assert [without_edits(r) for r in asked] == plain
    # The sample raises edits, so the lines with them are not all alike.
    assert sum(1 for r in asked if r["edits"]) > 100
    # The edits cross the answer's blocks whole.
    assert all(isinstance(e["message"], str) for r in asked for e in r["edits"])


def test_edits_are_found_with_the_tier_set_in_use(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "without-j38", name="without J38.01")
    single_list = directory / "single-2.90.csv"
    rows = single_list.read_text().splitlines()
    single_list.write_text("\n".join(r for r in rows if not r.startswith("J38.01^^,")) + "\n")
    compiled = start_server()
    loaded = start_server("--tier-tables", str(directory), "--allow-deviations")
    record = record_of(compiled, comorbid_code_1="J3801")
    for server, form_edit in [(compiled, True), (loaded, False)]:
        single = requests.post(server.url + "/v1/group?edits=true", data=record,
                               headers=TEXT).json()
        batch = batch_lines(server, record + b"\n", TEXT)
        assert single == without_line(batch[0])
        # Written in the compared form, the code is on the compiled-in lists only.
        assert [e["code"] for e in single["edits"]] == (["comorbid-code-form"] if form_edit
                                                        else [])


def without_line(result):
    return {k: v for k, v in result.items() if k != "line"}


def post(path, body=b"", *headers):
    head = [f"POST {path} HTTP/1.1", "Host: x", "Content-Type: text/plain",
            f"Content-Length: {len(body)}", *headers]
    return "\r\n".join(head).encode() + b"\r\n\r\n" + body


BAD_QUERIES = ["edits=yes", "edits=", "edits", "edits=true&edits=true", "EDITS=true&edits=0",
               "edits=%zz", "edits=%7", "x=1&edits=maybe", "edits=tru%00e"]


@pytest.mark.parametrize("query", BAD_QUERIES)
def test_unknown_or_malformed_options_are_refused_with_400(server, query):
    for path in ["/v1/group", "/v1/group/batch", "/v1/explain"]:
        got = requests.post(f"{server.url}{path}?{query}", data=SAMPLES[0], headers=TEXT)
        assert got.status_code == 400, (path, query)
        error = got.json()
        assert error["code"] == "bad_option"
        assert error["field"] in ("edits", None)
        assert "status" not in error


def test_other_query_parameters_are_passed_over(server):
    for query, edits in [("edit=true", False), ("_=1712345&edits=1", True), ("x=%zz", False)]:
        got = requests.post(f"{server.url}/v1/group?{query}", data=SAMPLES[0], headers=TEXT)
        assert got.status_code == 200, query
        assert ("edits" in got.json()) == edits, query


def test_a_refused_option_keeps_the_connection_as_an_unknown_path_does(server):
    # Body dropped, connection kept: the request after it is answered.
    refused = post("/v1/group?edits=maybe", SAMPLES[0])
    batch = post("/v1/group/batch?edits=yes", b"\n".join(SAMPLES))
    good = post("/v1/group?edits=true", SAMPLES[0], "Connection: close")
    answer, closed = exchange(server.port, refused + batch + good)
    assert closed and answers_in(answer) == 3
    assert [int(s) for s in re.findall(rb"HTTP/1.1 (\d{3})", answer)] == [400, 400, 200]
    assert answer.count(b'"code":"bad_option"') == 2 and b'"edits":[' in answer
    # A body too long to drop closes the connection, as for a 404.
    big = post("/v1/group/batch?edits=no", b"x" * (2 << 20))
    answer, closed = exchange(server.port, big + good)
    assert status_of(answer) == 400 and closed and answers_in(answer) == 1
    assert b"Connection: close" in answer.split(b"\r\n\r\n")[0]
    # Routes that take no options ignore a query, as before.
    assert requests.get(server.url + "/?edits=maybe").status_code == 200


def test_explanation_lists_the_edits_with_or_without_the_option(server):
    faulty = {"fields": fields_of(server, motor_item_3="08", comorbid_code_1="J3801")}
    single = requests.post(server.url + "/v1/group?edits=true", json=faulty).json()
    for query in ["", "?edits=true"]:
        explained = requests.post(server.url + "/v1/explain" + query, json=faulty)
        assert explained.status_code == 200
        assert explained.json()["edits"] == single["edits"]


def test_openapi_documents_the_option_and_every_reference_resolves(server):
    api = requests.get(server.url + "/v1/openapi.json").json()
    for ref in re.findall(r'"\$ref": "#/([^"]+)"', json.dumps(api)):
        target = api
        for part in ref.split("/"):
            target = target[part]
    for path in ["/v1/group", "/v1/group/batch", "/v1/explain"]:
        assert {"$ref": "#/components/parameters/Edits"} in api["paths"][path]["post"]["parameters"]
    assert "bad_option" in api["components"]["schemas"]["Error"]["properties"]["code"]["enum"]
