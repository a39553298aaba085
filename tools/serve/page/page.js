"use strict";
// The single-record page: builds the form from the record layout, sends the
// fields or the pasted record to /v1/explain and shows the answer in words,
// with the record's edits beside the result.

const SECTIONS = [
  ["Record", /^(record_id|record_kind|version_date)$/],
  ["Dates", /^(birth_date|age_date)$/],
  ["Impairment", /^impairment_group$/],
  ["Motor items", /^motor_item_/],
  ["Cognitive items", /^cognitive_item_/],
  ["Comorbid codes", /^comorbid_code_/],
];
const DEFAULTS = { record_id: "IRF-PAI", record_kind: "1" };
let layout = [];

function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === "class") node.className = v;
    else node.setAttribute(k, v);
  }
  for (const c of children) node.append(c);
  return node;
}

function label(name) {
  const words = name.replace(/_/g, " ");
  return words.charAt(0).toUpperCase() + words.slice(1);
}

function authHeaders() {
  const token = document.getElementById("token").value.trim();
  return token ? { Authorization: "Bearer " + token } : {};
}

async function loadLayout() {
  const status = document.getElementById("layout-status");
  const res = await fetch("/v1/layout", { headers: authHeaders() });
  if (res.status === 401) {
    status.textContent = "This server needs an access token: give it below, then reload the layout.";
    const box = document.getElementById("token-box");
    box.open = true;
    document.getElementById("token").addEventListener("change", loadLayout, { once: true });
    return;
  }
  layout = (await res.json()).fields;
  buildForm();
  status.remove();
  loadTierSet();
}

// The tier-table set the server groups with, in a line under the form.
async function loadTierSet() {
  const line = document.getElementById("tier-set");
  const res = await fetch("/v1/tables", { headers: authHeaders() });
  if (!res.ok) return;
  const t = await res.json();
  const deviating = t.deviations.length ? `, deviating in ${t.deviations.length} points` : "";
  const loaded = t.compiled_in ? "" : ` (sha256:${t.sha256.slice(0, 12)}…)`;
  line.textContent = `Tier lists: ${t.name}${loaded}${deviating}. ` +
    (t.placeholders
      ? "They hold placeholder rows: a tier letter from one of them is not an official result."
      : "They hold no placeholder rows.");
  line.title = "sha256:" + t.sha256;
  line.classList.toggle("placeholder", t.placeholders);
}

function buildForm() {
  const holder = document.getElementById("fields-input");
  holder.querySelectorAll("fieldset").forEach((f) => f.remove());
  for (const [title, pattern] of SECTIONS) {
    const grid = el("div", { class: "grid" });
    for (const f of layout.filter((x) => pattern.test(x.name))) {
      const id = "f-" + f.name;
      const hintId = id + "-hint";
      const input = el("input", {
        id, name: f.name, type: "text", maxlength: String(f.length), size: String(f.length + 2),
        autocomplete: "off", spellcheck: "false", "aria-describedby": hintId,
      });
      if (DEFAULTS[f.name]) input.value = DEFAULTS[f.name];
      const hint = `${f.length} character${f.length > 1 ? "s" : ""}, positions ${f.start}–${f.end}: ${f.meaning}`;
      grid.append(el("div", { class: "field" }, el("label", { for: id }, label(f.name)),
        input, el("span", { class: "hint", id: hintId }, hint)));
    }
    holder.append(el("fieldset", {}, el("legend", {}, title), grid));
  }
}

function mode() {
  return document.querySelector("input[name=mode]:checked").value;
}

function requestBody() {
  if (mode() === "record") {
    return { record: document.getElementById("record-text").value.replace(/\r?\n$/, "") };
  }
  const fields = {};
  for (const f of layout) {
    const value = document.getElementById("f-" + f.name).value;
    if (value !== "") fields[f.name] = value;
  }
  return { fields };
}

function tenths(v) {
  return (v / 10).toFixed(1);
}

function range(low, high, what) {
  if (low === null && high === null) return "any " + what;
  if (low === null) return `${what} up to ${high}`;
  if (high === null) return `${what} from ${low}`;
  return `${what} ${low} to ${high}`;
}

function listName(list) {
  return { single: "single-code list", pair: "pair list", secondary: "secondary list" }[list] || list;
}

function showResult(r) {
  const dl = document.getElementById("result");
  dl.replaceChildren();
  const rows = [
    ["Status", `${r.status} — ${r.description}`, "r-status"],
    ["CMG", r.cmg ?? "—", "r-cmg"],
    ["Tier", r.cmg ? r.cmg.charAt(0) : "—", "r-tier"],
    ["Motor score", r.motor_score === null ? "—" : r.motor_score.toFixed(1), "r-motor"],
    ["Cognitive score", r.cognitive_score ?? "—", "r-cognitive"],
    ["Age", r.age ?? "—", "r-age"],
    ["Table version", r.table_version ?? "—", "r-table"],
  ];
  for (const [name, value, id] of rows) {
    dl.append(el("dt", {}, name), el("dd", { id }, String(value)));
  }
}

// A record field's text as read, in quotes, with every character outside
// printable ASCII written as \xHH: values are the record's raw bytes.
function shownValue(text) {
  const escaped = text.replace(/[^\x20-\x7e]|[\\"]/g, (c) => c === "\\" || c === '"' ? "\\" + c
    : "\\x" + c.charCodeAt(0).toString(16).padStart(2, "0"));
  return `"${escaped}"`;
}

// The edits of the record (null: none could be had): severity, field,
// value and message, errors first as the server lists them.
function showEdits(edits) {
  const list = document.getElementById("edits");
  const none = document.getElementById("edits-none");
  list.replaceChildren();
  none.hidden = !(edits && edits.length === 0);
  for (const e of edits ?? []) {
    const item = el("li", { class: "edit " + e.severity, "data-code": e.code },
      el("span", { class: "severity" }, e.severity), " ",
      el("span", { class: "edit-field" }, e.field ? label(e.field) : "Whole record"), " ",
      e.value !== "" ? el("span", { class: "value" }, shownValue(e.value)) : "", " ",
      el("code", { class: "edit-code" }, e.code),
      el("span", { class: "message" }, e.message));
    if (e.field) item.setAttribute("data-field", e.field);
    list.append(item);
  }
}

function showExplanation(e) {
  const out = document.getElementById("explanation");
  out.replaceChildren();
  const steps = el("ul", { class: "steps" });
  const v = e.version_date;
  steps.append(el("li", {}, v.table_version
    ? `Version date ${v.text} selects table version ${v.table_version}.`
    : `Version date "${v.text}" selects no table version.`));
  if (e.dates.age !== null && e.dates.age !== undefined) {
    steps.append(el("li", {}, `Born ${e.dates.birth_date_used ?? e.dates.birth_date}, age taken on ${e.dates.age_date}: age ${e.dates.age}.`));
  }
  if (e.impairment) {
    const i = e.impairment;
    steps.append(el("li", { id: "impairment-row" }, i.row
      ? `Impairment group key "${i.key}" is row ${i.row} of the impairment table: RIC ${i.ric}.`
      : `Impairment group key "${i.key}" is not in the impairment table.`));
  }
  if (e.motor) steps.append(el("li", {}, `Motor items add up to ${e.motor.sum} tenths: motor score ${e.motor.text}.`));
  if (e.cognitive) steps.append(el("li", {}, `Cognitive items add up to ${e.cognitive.sum}.`));
  if (e.cmg_row) {
    const c = e.cmg_row;
    steps.append(el("li", { id: "cmg-row" },
      `CMG row ${c.row}: RIC ${c.ric}, motor ${tenths(c.motor_low)} to ${tenths(c.motor_high)}, ` +
      `${range(c.cognitive_low, c.cognitive_high, "cognitive score")}, ${range(c.age_low, c.age_high, "age")}: CMG ${c.cmg}.`));
  } else if (e.motor) {
    steps.append(el("li", { id: "cmg-row" }, "No CMG row holds these scores and age."));
  }
  out.append(el("h3", {}, "Steps"), steps);
  showTier(out, e.tier, e.tier_set);

  const failed = e.result.status !== 0;
  const checks = el("ol", { class: "steps", id: "checks" });
  for (const c of e.checks) {
    const cls = c.outcome.replace(" ", "-");
    checks.append(el("li", { class: cls },
      `${c.outcome}: ${c.check}${c.detail ? " (" + c.detail + ")" : ""}`));
  }
  const details = el("details", {}, el("summary", {}, "Checks, in order"), checks);
  details.open = failed;
  out.append(details);
}

function showTier(out, t, set) {
  if (!t) return;
  const tier = el("ul", { class: "steps" });
  if (set) {
    tier.append(el("li", { id: "tier-set-used", title: "sha256:" + set.sha256 },
      `Tier lists ${set.name} (sha256:${set.sha256.slice(0, 12)}…).`));
  }
  const lists = t.lists.map((l) => `${listName(l.list)} ${l.name} (${l.rows} rows)`).join(", ");
  if (lists) tier.append(el("li", {}, `Searched ${lists}, ${t.scan} scan of ${t.cells_scanned} cells.`));
  if (t.list) {
    const held = t.codes.map((code, k) => `"${code}" (cell ${t.cells[k]})`).join(" and ");
    const decision = el("li", { id: "tier-decision" },
      `Tier ${t.letter} from ${listName(t.list)} row ${t.row}: the record holds ${held}.`);
    if (t.placeholder === true) {
      decision.append(" This row is a placeholder, not taken from an official list: the letter is not an official result.");
      decision.classList.add("placeholder");
    }
    tier.append(decision);
  } else {
    tier.append(el("li", { id: "tier-decision" }, `Tier ${t.letter}: no listed code applies.`));
  }
  for (const s of t.skipped) {
    tier.append(el("li", { class: "skipped" },
      `Skipped ${listName(s.list)} row ${s.row} ("${s.code}", cell ${s.cell}): ` +
      (s.reason === "barred" ? "barred by an excluded pair." : "excluded for this RIC.")));
  }
  for (const p of t.excluded_pairs) {
    tier.append(el("li", { class: "skipped" },
      `Pair row ${p.row} ("${p.codes[0]}" and "${p.codes[1]}") is excluded for this RIC` +
      (p.barred.length ? ` and bars secondary rows ${p.barred.join(", ")}.` : ".")));
  }
  out.append(el("h3", {}, "Comorbidity tier"), tier);
}

async function submit(event) {
  event.preventDefault();
  const answer = document.getElementById("answer");
  const error = document.getElementById("error");
  answer.hidden = false;
  error.hidden = true;
  document.getElementById("result").replaceChildren();
  document.getElementById("explanation").replaceChildren();
  showEdits([]);
  document.getElementById("edits-none").hidden = true;
  const request = JSON.stringify(requestBody());
  let res;
  try {
    res = await fetch("/v1/explain", {
      method: "POST",
      headers: { "Content-Type": "application/json", ...authHeaders() },
      body: request,
    });
  } catch (e) {
    error.textContent = "The server could not be reached.";
    error.hidden = false;
    return;
  }
  const body = await res.json();
  if (!res.ok) {
    error.textContent = body.error + (body.field ? ` (field ${body.field})` : "");
    error.hidden = false;
    if (body.field) document.getElementById("f-" + body.field)?.focus();
    return;
  }
  showResult(body.result);
  showEdits(Array.isArray(body.edits) ? body.edits : null);
  showExplanation(body);
  answer.scrollIntoView({ block: "nearest" });
}

function switchMode() {
  const record = mode() === "record";
  document.getElementById("record-input").hidden = !record;
  document.getElementById("fields-input").hidden = record;
}

document.getElementById("record-form").addEventListener("submit", submit);
document.getElementById("record-form").addEventListener("reset", () => {
  setTimeout(() => { buildForm(); switchMode(); document.getElementById("answer").hidden = true; });
});
document.querySelectorAll("input[name=mode]").forEach((r) => r.addEventListener("change", switchMode));
loadLayout();
