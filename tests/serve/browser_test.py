#!/usr/bin/python3
"""The single-record page in headless Chromium: fills the form for a sample
record by keyboard, submits it, reads the CMG and the deciding tier row, and
saves a screenshot in the output folder given as the second argument.

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


def main():
    out_dir = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else ".")
    out_dir.mkdir(parents=True, exist_ok=True)
    chromium = shutil.which("chromium")
    driver = shutil.which("chromedriver")
    if not chromium or not driver:
        print("chromium or chromedriver not installed: skipped")
        return SKIP
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
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

        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for arg in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                    "--no-first-run", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync",
                    "--disable-dev-shm-usage", "--window-size=1400,1000",
                    "--user-data-dir=" + profile]:
            options.add_argument(arg)
        browser = webdriver.Chrome(service=Service(executable_path=driver),
                                   options=options)
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
