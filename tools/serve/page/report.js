"use strict";
// The report of a file of records: the file chosen is read here and sent
// to this server's POST /v1/report (the page's own origin, nowhere else);
// the report's page comes back and is shown in a frame without scripts.

function reportToken() {
  const token = document.getElementById("token").value.trim();
  return token ? { Authorization: "Bearer " + token } : {};
}

// A file ending in .json or .jsonl holds one JSON record per line; any
// other, records as text lines.
function reportType(file) {
  return /\.jsonl?$/i.test(file.name) ? "application/x-ndjson" : "text/plain";
}

async function makeReport(event) {
  event.preventDefault();
  const file = document.getElementById("report-file").files[0];
  const status = document.getElementById("report-status");
  const frame = document.getElementById("report-frame");
  const save = document.getElementById("report-save");
  if (!file) {
    status.textContent = "Choose a file of records first.";
    return;
  }
  status.textContent = `Counting ${file.name}…`;
  status.classList.remove("error");
  let res;
  try {
    res = await fetch("/v1/report", {
      method: "POST",
      headers: { "Content-Type": reportType(file), Accept: "text/html", ...reportToken() },
      body: file,
    });
  } catch (e) {
    status.textContent = "The server could not be reached.";
    status.classList.add("error");
    return;
  }
  if (!res.ok) {
    const body = await res.json().catch(() => ({ error: res.statusText }));
    status.textContent = `No report: ${body.error}` + (body.line ? ` (line ${body.line})` : "");
    status.classList.add("error");
    frame.hidden = true;
    save.hidden = true;
    return;
  }
  const page = await res.text();
  frame.srcdoc = page;
  frame.hidden = false;
  if (save.href) URL.revokeObjectURL(save.href);
  save.href = URL.createObjectURL(new Blob([page], { type: "text/html" }));
  save.download = file.name.replace(/\.[^.]*$/, "") + "-report.html";
  save.hidden = false;
  status.textContent = `Report on ${file.name}.`;
}

document.getElementById("report-form").addEventListener("submit", makeReport);
