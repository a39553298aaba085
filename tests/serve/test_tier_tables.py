"""`cmg290 serve --tier-tables`: the set is loaded at start, groups every route, is
described by GET /v1/tables, and stays as loaded when its files change (until SIGHUP:
test_reload.py)."""
import json
import re
import shutil
import subprocess

import pytest
import requests

from conftest import CMG290, SAMPLES, edit_tier_row, export_tier_set

TEXT = {"Content-Type": "text/plain"}
NDJSON = {"Content-Type": "application/x-ndjson"}
LISTS = ["single-2.40.csv", "single-2.50.csv", "single-2.60.csv", "single-2.82.csv",
         "single-2.90.csv", "pair.csv", "secondary.csv"]

# Tier B from row 1 of the 2.40 single-code list, for RIC 01.
FIELDS = {"record_id": "IRF-PAI", "birth_date": "19500310", "age_date": "20200310",
          "impairment_group": "  01.2", "version_date": "20100815", "motor_item_1": "05",
          "cognitive_item_1": "04", "comorbid_code_1": "478.31"}
# The same row excluding RIC 01: the record holds no other listed code.
EXCLUDING_RIC_01 = '478.31,B,"01"'


def without_line(result):
    return {k: v for k, v in result.items() if k != "line"}


def results(answers):
    """The results of single answers, less the identity of the set."""
    return [{k: v for k, v in r.items() if k != "tier_set"} for r in answers]


def identity(tables):
    """The identity every answer names a set by: /v1/tables less the entry counts and reloads."""
    return {k: v for k, v in tables.items() if k not in ("entries", "loaded_at", "reloads")}


def answers(server):
    """Single, batch and explain answers for the samples and FIELDS, and /v1/tables."""
    with requests.Session() as s:
        single = [s.post(server.url + "/v1/group", data=r, headers=TEXT).json() for r in SAMPLES]
        single.append(s.post(server.url + "/v1/group", json={"fields": FIELDS}).json())
        lines = [json.dumps({"record": r.decode("latin-1")}) for r in SAMPLES]
        lines.append(json.dumps({"fields": FIELDS}))
        batch = s.post(server.url + "/v1/group/batch", data="\n".join(lines), headers=NDJSON)
        assert batch.status_code == 200
        explained = [s.post(server.url + "/v1/explain", data=r, headers=TEXT).json()
                     for r in SAMPLES]
        explained.append(s.post(server.url + "/v1/explain", json={"fields": FIELDS}).json())
        tables = s.get(server.url + "/v1/tables").json()
    return single, [json.loads(x) for x in batch.content.splitlines()], explained, tables


def start_refused(*args):
    """Runs a server that must not start: its exit code and standard error."""
    run = subprocess.run([CMG290, "serve", "--listen", "127.0.0.1:0", *args],
                         capture_output=True, timeout=60)
    assert b"listening" not in run.stderr
    return run.returncode, run.stderr.decode()


def test_tables_describes_the_compiled_in_set_and_takes_get_and_head(start_server):
    server = start_server()
    got = requests.get(server.url + "/v1/tables")
    assert got.status_code == 200 and got.headers["Content-Type"] == "application/json"
    assert got.headers["Cache-Control"] == "no-store"
    tables = got.json()
    assert list(tables) == ["name", "sha256", "compiled_in", "placeholders", "deviations",
                            "entries", "loaded_at", "reloads"]
    assert tables["name"] == "compiled-in" and tables["compiled_in"] is True
    assert tables["placeholders"] is True and tables["deviations"] == []
    assert re.fullmatch("[0-9a-f]{64}", tables["sha256"])
    assert list(tables["entries"]) == LISTS and all(n > 0 for n in tables["entries"].values())
    head = requests.head(server.url + "/v1/tables")
    assert head.status_code == 200 and head.content == b""
    assert int(head.headers["Content-Length"]) == len(got.content)
    post = requests.post(server.url + "/v1/tables", data=b"x", headers=TEXT)
    assert post.status_code == 405 and post.headers["Allow"] == "GET, HEAD"
    assert b"tier tables compiled-in sha256:" + tables["sha256"].encode() in server.log()


def test_exported_set_answers_as_the_compiled_in_lists(start_server, tmp_path):
    compiled = answers(start_server())
    directory = export_tier_set(tmp_path / "exported")
    loaded = answers(start_server("--tier-tables", str(directory)))
    # The same results; only the name of the set differs.
    assert results(loaded[0]) == results(compiled[0])
    assert results(loaded[1]) == results(compiled[1])
    assert [without_line(r) for r in loaded[1]] == loaded[0]
    assert [e["result"] for e in loaded[2]] == results(loaded[0])
    # Every answer names the set it grouped with, as explain does.
    for answer in loaded[0] + loaded[1] + loaded[2]:
        assert answer["tier_set"] == identity(loaded[3])
    tables = loaded[3]
    assert tables["name"] == "exported" and tables["compiled_in"] is False
    assert tables["sha256"] == compiled[3]["sha256"]
    assert tables["entries"] == compiled[3]["entries"] and tables["placeholders"] is True


def test_changed_set_changes_single_batch_and_explain_answers_alike(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "changed", name="one row changed")
    line = edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
    # A deviation from the documented excluded-RIC counts needs to be allowed.
    code, stderr = start_refused("--tier-tables", str(directory))
    assert code == 2 and f"{directory}/single-2.40.csv:{line}: " in stderr, stderr
    assert "--allow-deviations takes them" in stderr

    single, batch, explained, tables = answers(
        start_server("--tier-tables", str(directory), "--allow-deviations"))
    assert single[-1]["cmg"] == "A0110"
    assert explained[-1]["tier"]["letter"] == "A"
    assert [without_line(r) for r in batch] == single
    # The explanation walks the set's rows apart from the grouping's search.
    assert [e["result"] for e in explained] == results(single)
    assert all(a["tier_set"] == identity(tables) for a in single + batch + explained)
    assert single[0]["tier_set"]["deviations"] == tables["deviations"] != []
    assert tables["name"] == "one row changed" and tables["compiled_in"] is False
    assert tables["deviations"] and tables["deviations"][0].startswith(
        f"{directory}/single-2.40.csv:{line}: ")
    compiled = requests.get(start_server().url + "/v1/tables").json()
    assert tables["sha256"] != compiled["sha256"]


def test_a_pinned_set_is_served_with_its_deviations_and_no_other(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "signed", name="signed")
    edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
    signed = answers(start_server("--tier-tables", str(directory), "--allow-deviations"))
    digest = signed[3]["sha256"]
    pinned = answers(start_server("--tier-tables", str(directory),
                                  "--tier-tables-sha256", digest.upper()))
    assert pinned[:3] == signed[:3] and pinned[0][-1]["tier_set"]["deviations"]
    assert identity(pinned[3]) == identity(signed[3])

    compiled = requests.get(start_server().url + "/v1/tables").json()["sha256"]
    code, stderr = start_refused("--tier-tables", str(directory), "--allow-deviations",
                                 "--tier-tables-sha256", compiled)
    assert code == 2 and f"its sha256 is {digest}, expected {compiled}" in stderr, stderr
    assert "--allow-deviations takes them" not in stderr
    for bad in ["abc", "sha256:" + compiled[7:], compiled + "0"]:
        code, stderr = start_refused("--tier-tables", str(directory), "--tier-tables-sha256", bad)
        assert code == 2 and "64 hex digits" in stderr, stderr
    code, stderr = start_refused("--tier-tables-sha256", compiled)
    assert code == 2 and "--tier-tables" in stderr, stderr


def test_faulty_set_refuses_to_start_naming_every_fault(tmp_path):
    directory = export_tier_set(tmp_path / "faulty")
    lines = (directory / "single-2.50.csv").read_text().splitlines()
    lines[2] = lines[2].split(",")[0] + ",X,"
    (directory / "single-2.50.csv").write_text("\n".join(lines) + "\n")
    (directory / "pair.csv").write_text("code,tier,excluded_rics\n")
    code, stderr = start_refused("--tier-tables", str(directory))
    assert code == 2 and "--allow-deviations" not in stderr
    assert f"{directory}/single-2.50.csv:3: " in stderr, stderr
    assert f"{directory}/pair.csv:1: " in stderr, stderr

    (directory / "pair.csv").unlink()
    code, stderr = start_refused("--tier-tables", str(directory))
    assert code == 2 and "pair.csv" in stderr, stderr
    code, stderr = start_refused("--tier-tables", str(tmp_path / "no-such-set"))
    assert code == 2 and "no-such-set" in stderr, stderr
    code, stderr = start_refused("--allow-deviations")
    assert code == 2 and "--tier-tables" in stderr, stderr


def test_files_changed_under_a_running_server_change_nothing(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "running")
    server = start_server("--tier-tables", str(directory))
    before = answers(server)
    edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
    (directory / "manifest.txt").write_text("name = renamed\n")
    (directory / "pair.csv").unlink()
    assert answers(server) == before
    shutil.rmtree(directory)
    assert answers(server) == before
    assert server.stop() == 0


def test_explain_answer_names_the_set_it_used(start_server, tmp_path):
    directory = export_tier_set(tmp_path / "named", name="named set")
    edit_tier_row(directory, "single-2.40.csv", "478.31", EXCLUDING_RIC_01)
    server = start_server("--tier-tables", str(directory), "--allow-deviations")
    tables = requests.get(server.url + "/v1/tables").json()
    raw = requests.post(server.url + "/v1/explain", json={"fields": FIELDS}).text
    explained = json.loads(raw)
    assert explained["tier_set"]["sha256"] == tables["sha256"]
    assert explained["tier_set"]["name"] == "named set"
    assert raw.count('"tier_set":') == 1
