#!/usr/bin/python3
"""The single-record page in headless Chromium: fills the form for a sample
record by keyboard, submits it, reads the CMG and the deciding tier row; then
gives a motor item "88" and checks its edit beside the result, and pastes a
record with a byte outside printable ASCII and checks it is shown escaped.
Saves screenshots in the output folder given as the second argument.

Exits 77 (skipped) when Chromium or its driver is not installed."""
import json
import os
import pathlib
import shutil
import sys
import tempfile
import urllib.request

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from conftest import SAMPLES, Server  # noqa: E402

SKIP = 77


def post_json(server, path, body):
    req = urllib.request.Request(server.url + path, data=json.dumps(body).encode(),
                                 headers={"Content-Type": "application/json"})
    return json.load(urllib.request.urlopen(req))


def shown_edits(browser, wait, By, ec, before):
    """The edits the page shows once the answer after `before` is in."""
    wait.until(ec.staleness_of(before))
    wait.until(ec.presence_of_element_located((By.ID, "tier-decision")))
    return browser.find_elements(By.CSS_SELECTOR, "#edits li")


def check_edits(browser, wait, server, out_dir, By, Keys, ec):
    """A motor item "88" shows its item-value edit with severity, field,
    value and message, as the API gives it; a byte 0x80 in a pasted record
    is shown as \\x80, not as the raw character."""
    failures = []
    fields = {}
    for f in browser.find_elements(By.CSS_SELECTOR, "#fields-input input"):
        if f.get_attribute("value"):
            fields[f.get_attribute("name")] = f.get_attribute("value")
    box = browser.find_element(By.ID, "f-motor_item_3")
    box.clear()
    box.send_keys("88")
    fields["motor_item_3"] = "88"
    expected = post_json(server, "/v1/group?edits=true", {"fields": fields})["edits"]
    before = browser.find_element(By.ID, "tier-decision")
    box.send_keys(Keys.ENTER)
    items = shown_edits(browser, wait, By, ec, before)
    browser.save_screenshot(str(out_dir / "page-edits.png"))
    item = [i for i in items if i.get_attribute("data-code") == "item-value"]
    want = [e for e in expected if e["code"] == "item-value"]
    print("edits:", [i.text for i in items])
    if len(items) != len(expected):
        failures.append(f"{len(items)} edits on the page, the API gives {len(expected)}")
    if len(item) != 1 or len(want) != 1:
        failures.append("no item-value edit on the page for a motor item 88")
    else:
        text = item[0].text
        for part in ["ERROR", "Motor item 3", '"88"', want[0]["message"]]:
            if part not in text:
                failures.append(f"item-value edit {text!r} lacks {part!r}")
        if item[0].get_attribute("data-field") != "motor_item_3":
            failures.append("item-value edit names another field")

    # The whole record, with a byte 0x80 in its second comorbid code.
    browser.find_element(By.CSS_SELECTOR, "input[name=mode][value=record]").click()
    record = SAMPLES[1].decode("latin-1")
    record = record[:761] + "I10.\x80   " + record[769:]
    browser.execute_script("document.getElementById('record-text').value = arguments[0];",
                           record)
    before = browser.find_element(By.ID, "tier-decision")
    browser.find_element(By.ID, "group-button").click()
    items = shown_edits(browser, wait, By, ec, before)
    unreadable = [i.text for i in items if i.get_attribute("data-code") == "unreadable-byte"]
    if len(unreadable) != 1 or '"I10.\\x80"' not in unreadable[0]:
        failures.append(f"unreadable-byte edit shown as {unreadable!r}")
    browser.find_element(By.CSS_SELECTOR, "input[name=mode][value=fields]").click()
    return failures


def start_chromium(profile, log_network=False):
    """Headless Chromium with its own profile folder, or None when it or its
    driver is not installed. With `log_network`, its console and DevTools
    network events are kept for get_log("browser") and get_log("performance")."""
    chromium = shutil.which("chromium")
    driver = shutil.which("chromedriver")
    if not chromium or not driver:
        return None
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for arg in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--window-size=1400,1000",
                "--user-data-dir=" + str(profile)]:
        options.add_argument(arg)
    if log_network:
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    return webdriver.Chrome(service=Service(executable_path=driver), options=options)


def main():
    out_dir = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else ".")
    out_dir.mkdir(parents=True, exist_ok=True)
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("chromium or chromedriver not installed: skipped")
        return SKIP
    try:
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
        from selenium.webdriver.support import expected_conditions as ec
        from selenium.webdriver.support.ui import WebDriverWait
    except ImportError:
        print("python3-selenium not installed: skipped")
        return SKIP

    server = Server(stderr_path=out_dir / "server.log")
    profile = tempfile.mkdtemp(prefix="cmg290-chromium-")
    browser = None
    try:
        # What the page should show, and the fields to type: from the API.
        record = SAMPLES[1]
        req = urllib.request.Request(server.url + "/v1/explain", data=record,
                                     headers={"Content-Type": "text/plain"})
        expected = json.load(urllib.request.urlopen(req))

        browser = start_chromium(profile)
        browser.get(server.url + "/")
        wait = WebDriverWait(browser, 20)
        wait.until(ec.presence_of_element_located((By.ID, "f-version_date")))

        for name, value in expected["fields"].items():
            if not value.strip():
                continue
            box = browser.find_element(By.ID, "f-" + name)
            box.clear()
            box.send_keys(value.rstrip())
        # Submit from the keyboard.
        browser.find_element(By.ID, "f-version_date").send_keys(Keys.ENTER)
        wait.until(ec.presence_of_element_located((By.ID, "tier-decision")))

        tier_set = browser.find_element(By.ID, "tier-set").text
        cmg = browser.find_element(By.ID, "r-cmg").text
        tier_row = browser.find_element(By.ID, "tier-decision").text
        cmg_row = browser.find_element(By.ID, "cmg-row").text
        browser.save_screenshot(str(out_dir / "page.png"))
        print("CMG:", cmg)
        print("tier:", tier_row)
        print("CMG row:", cmg_row)
        print("tier lists:", tier_set)

        want = expected["result"]["cmg"]
        tier = expected["tier"]
        failures = []
        if cmg != want:
            failures.append(f"CMG on the page {cmg!r}, expected {want!r}")
        row = f"Tier {tier['letter']} from single-code list row {tier['row']}"
        if not tier_row.startswith(row) or tier["codes"][0] not in tier_row:
            failures.append(f"tier row {tier_row!r}, expected {row!r} naming {tier['codes'][0]}")
        if f"CMG row {expected['cmg_row']['row']}:" not in cmg_row:
            failures.append(f"CMG row {cmg_row!r}")
        if not tier_set.startswith("Tier lists: compiled-in") or "placeholder rows" not in tier_set:
            failures.append(f"tier lists line {tier_set!r}")
        failures += check_edits(browser, wait, server, out_dir, By, Keys, ec)
        # A narrow screen still shows the form in one column, without scrolling sideways.
        browser.set_window_size(380, 900)
        width = browser.execute_script("return document.documentElement.scrollWidth")
        if width > 400:
            failures.append(f"page is {width} px wide on a 380 px screen")
        for f in failures:
            print("FAILED:", f)
        return 1 if failures else 0
    finally:
        if browser is not None:
            browser.quit()
        server.stop()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    os.environ.setdefault("CMG290", "build/tools/cmg290")
    sys.exit(main())
