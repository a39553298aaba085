#!/usr/bin/python3
"""The report in headless Chromium.

(a) A page written by `cmg290 report` opens from file:// with no console
error and no request but its own file; its charts and tables are there, and
it prints to a PDF of more than one page.
(b) The server's page: a file of records chosen in its file input is sent to
this server only, and its report is shown in the page, styled.

Saves a screenshot of the page showing the report as report-page.png in the output folder
given as the second argument. Exits 77 (skipped) when Chromium or its driver
is not installed."""
import base64
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from browser_test import SKIP, start_chromium  # noqa: E402
from conftest import CMG290, SOURCE_DIR, Server  # noqa: E402

SAMPLE_FILE = SOURCE_DIR / "examples" / "assessments.txt"


def requests_made(browser):
    """The URLs of the requests the browser sent since the last call, but
    for those of its own pages (chrome://)."""
    urls = []
    for entry in browser.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent" and \
                not message["params"].get("documentURL", "").startswith("chrome:"):
            urls.append(message["params"]["request"]["url"])
    return urls


def console_errors(browser):
    """Errors and warnings on the console since the last call, but for the
    browser's own request for a /favicon.ico."""
    return [e["message"] for e in browser.get_log("browser")
            if e["level"] in ("SEVERE", "WARNING") and "/favicon.ico " not in e["message"]]


def pdf_pages(pdf: bytes):
    return pdf.count(b"/Type /Page") - pdf.count(b"/Type /Pages") or pdf.count(b"/Type/Page") - \
        pdf.count(b"/Type/Pages")


def check_file_report(browser, By, work, out_dir):
    failures = []
    page = work / "report.html"
    subprocess.run([CMG290, "report", "-q", str(SAMPLE_FILE), "-o", str(page)], check=True,
                   timeout=60)
    browser.get("about:blank")
    requests_made(browser)
    console_errors(browser)
    browser.get(page.as_uri())
    charts = browser.find_elements(By.CSS_SELECTOR, "svg")
    tables = browser.find_elements(By.CSS_SELECTOR, "table")
    if not charts or not tables:
        failures.append(f"file report: {len(charts)} charts, {len(tables)} tables")
    others = [u for u in requests_made(browser) if u != page.as_uri()]
    if others:
        failures.append(f"file report fetched {others}")
    if errors := console_errors(browser):
        failures.append(f"file report console: {errors}")
    from selenium.webdriver.common.print_page_options import PrintOptions
    pdf = base64.b64decode(browser.print_page(PrintOptions()))
    pages = pdf_pages(pdf)
    print(f"file report: {len(charts)} charts, {len(tables)} tables, PDF of {pages} pages")
    if not pdf.startswith(b"%PDF") or pages < 2:
        failures.append(f"printed to {pages} pages")
    return failures


def check_server_page(browser, By, ec, wait, out_dir):
    failures = []
    server = Server(stderr_path=out_dir / "report-server.log")
    try:
        requests_made(browser)
        browser.get(server.url + "/")
        wait.until(ec.presence_of_element_located((By.ID, "report-file")))
        browser.find_element(By.ID, "report-file").send_keys(str(SAMPLE_FILE))
        browser.find_element(By.ID, "report-button").click()
        frame = wait.until(ec.visibility_of_element_located((By.ID, "report-frame")))
        status = browser.find_element(By.ID, "report-status").text
        saved = browser.find_element(By.ID, "report-save").get_attribute("download")
        browser.switch_to.frame(frame)
        charts = browser.find_elements(By.CSS_SELECTOR, "svg")
        records = browser.find_element(By.TAG_NAME, "main").text
        width = browser.execute_script(
            "return getComputedStyle(document.body).maxWidth")
        browser.switch_to.default_content()
        browser.execute_script("document.getElementById('report-box').scrollIntoView()")
        browser.save_screenshot(str(out_dir / "report-page.png"))
        print(f"server page: {status!r}, {len(charts)} charts, body max-width {width}")
        if not charts or "request body" not in records:
            failures.append(f"server page report: {len(charts)} charts")
        if width != "1100px":
            failures.append(f"the report's styles do not apply in the page (max-width {width})")
        if saved != "assessments-report.html":
            failures.append(f"save link names {saved!r}")
        foreign = [u for u in requests_made(browser)
                   if not u.startswith(server.url + "/")]
        if foreign:
            failures.append(f"the page sent requests elsewhere: {foreign}")
        if errors := console_errors(browser):
            failures.append(f"server page console: {errors}")
    finally:
        server.stop()
    return failures


def main():
    out_dir = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else ".")
    out_dir.mkdir(parents=True, exist_ok=True)
    try:
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support import expected_conditions as ec
        from selenium.webdriver.support.ui import WebDriverWait
    except ImportError:
        print("python3-selenium not installed: skipped")
        return SKIP
    work = pathlib.Path(tempfile.mkdtemp(prefix="cmg290-report-"))
    browser = start_chromium(work / "profile", log_network=True)
    if browser is None:
        print("chromium or chromedriver not installed: skipped")
        return SKIP
    try:
        failures = check_file_report(browser, By, work, out_dir)
        failures += check_server_page(browser, By, ec, WebDriverWait(browser, 20), out_dir)
    finally:
        browser.quit()
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    os.environ.setdefault("CMG290", "build/tools/cmg290")
    sys.exit(main())
