// The page's wiring: files picked or dropped are converted (bridge.js),
// listed with their warnings, counts and saves, and drawn together
// (drawing.js). A new pick or drop replaces what is shown: the one that came
// last is shown, whatever order their files are read in.

const $ = (id) => document.getElementById(id);
// Of a saved file's name, in UTF-8: what a file system takes, less what
// Chromium adds while it saves (".crdownload"), or it saves nothing.
const MAX_NAME_BYTES = 255 - ".crdownload".length;
const dateFormat = new Intl.DateTimeFormat("en-GB", { day: "numeric", month: "long", year: "numeric" });

const state = {
  generation: 0,  // of the latest pick or drop
  runs: 0,  // picks and drops shown
  module: null,  // the converter's exports
  formats: null,  // the module's map formats
  tracks: [],  // the files shown, converted
};
const drawing = createDrawing($("drawing"), $("wheel-hint"));

function fittingName(base, extension) {
  return cutToBytes(base, MAX_NAME_BYTES - encoder.encode(extension).length) + extension;
}

const withoutExtension = (name) => name.replace(/\.[^.]*$/, "") || "track";

// How each file is named in the list, the legend and the saved tracks:
// files of one name (every device names its file ceTrackTail.trb) get a
// number and their date.
function namesOf(files) {
  const total = new Map();
  for (const file of files) total.set(file.name, (total.get(file.name) ?? 0) + 1);
  const seen = new Map();
  return files.map((file) => {
    if (total.get(file.name) === 1) return { label: file.name, track: withoutExtension(file.name) };
    seen.set(file.name, (seen.get(file.name) ?? 0) + 1);
    const suffix = ` (${seen.get(file.name)}), ${dateFormat.format(file.lastModified)}`;
    return { label: file.name + suffix, track: withoutExtension(file.name) + suffix };
  });
}

// Converts the files and shows them in place of what was shown, unless
// another pick or drop came meanwhile. The time it took goes to the hidden
// #elapsed, for the tests and the benchmark.
async function show(files) {
  const generation = ++state.generation;
  const started = performance.now();
  const c = await converter;
  state.module = c;
  state.formats ??= mapFormats(c);
  const reads = await Promise.all(files.map((file) => readTrackFile(c, file)));
  if (generation !== state.generation) return;
  const names = namesOf(files);
  state.tracks = files.map((file, i) => Object.assign(
    convertTrack(c, file, reads[i], names[i].track),
    { label: names[i].label, base: withoutExtension(file.name), style: trackStyle(i) }));
  // Drawn first, while the page's layout holds, which the drawing's size
  // reads, and then the list, so that the page is laid out once.
  const drawn = state.tracks.filter((t) => t.points?.length > 0);
  $("results").hidden = false;
  $("track").hidden = drawn.length === 0;
  drawing.show(drawn);
  describe(drawn);
  $("tracks").replaceChildren(...state.tracks.map(listing));
  showSaveAll();
  $("elapsed").textContent = (performance.now() - started).toFixed(1);
  $("elapsed").dataset.run = ++state.runs;
}

function html(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  node.append(...children);
  return node;
}

function saveButton(kind, label, onSave, disabled = false) {
  const button = html("button", { type: "button", class: `save-${kind}` }, label);
  button.disabled = disabled;
  button.addEventListener("click", onSave);
  return button;
}

// A short line in the track's colour and dash.
function swatch(style) {
  const svg = document.createElementNS(SVG, "svg");
  for (const [key, value] of Object.entries({ class: "swatch", width: 28, height: 8,
    "aria-hidden": "true" })) svg.setAttribute(key, value);
  element("line", { x1: 1, x2: 27, y1: 4, y2: 4, stroke: style.colour, "stroke-width": 3,
    "stroke-dasharray": style.dash }, svg);
  return svg;
}

// A file's part of the list: its name, warnings, counts and saves.
function listing(t) {
  const node = html("article", { class: "track-result" }, html("h3", {}, swatch(t.style), t.label));
  if (t.error) {
    node.append(html("p", { class: "warning", role: "alert" }, t.error));
    return node;
  }
  for (const warning of t.warnings) node.append(html("p", { class: "warning" }, warning));
  if (t.loaded === 0) return node;
  const counts = html("dl", { class: "counts" });
  for (const [kind, label, value] of [
    ["header-count", "Point count in the header", count(t.header)],
    ["records-walked", "Records walked", count(t.walked)],
    ["lines-written", "CSV lines written", count(t.lines)],
    ["left-out", "Records left out by the range filter", count(t.walked - t.lines)],
    ["length", "Length along the points", distance(t.length)],
  ]) {
    counts.append(html("dt", {}, label), html("dd", { class: kind }, value));
  }
  const noLine = t.lines === 0;
  const csv = (name) => () => save(csvOf(state.module, t), name, "text/csv");
  const saves = html("p", { class: "save" },
    saveButton("default", "Save as KeloTrackTail.csv", csv("KeloTrackTail.csv"), noLine),
    saveButton("named", `Save as ${fittingName(t.base, ".csv")}`,
      csv(fittingName(t.base, ".csv")), noLine),
    ...state.formats.map((format, f) => saveButton(format.name.toLowerCase(),
      `Save as ${format.name}`, () => saveDocument(f, [t], fittingName(t.base, format.extension)),
      t.points.length === 0)));
  node.append(counts, saves);
  return node;
}

// "Save all" holds the tracks with a point on the earth.
function showSaveAll() {
  const mapped = state.tracks.filter((t) => t.points?.length > 0);
  const tracks = mapped.length === 1 ? "the 1 track" : `all ${mapped.length} tracks`;
  $("save-all").replaceChildren(...state.formats.map((format, f) => saveButton(
    `all-${format.name.toLowerCase()}`, `Save ${tracks} as one ${format.name}`,
    () => saveDocument(f, mapped, `tracks${format.extension}`), mapped.length === 0)));
  $("save-all").hidden = state.tracks.length < 2;
}

function save(bytes, name, type) {
  const url = URL.createObjectURL(new Blob(Array.isArray(bytes) ? bytes : [bytes], { type }));
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// One document of the format holding the given tracks, one after the other.
function saveDocument(f, chosen, name) {
  const format = state.formats[f];
  const parts = [format.head];
  chosen.filter((t) => t.points?.length > 0).forEach((t, i) => {
    if (i > 0) parts.push(format.separator);
    parts.push(mapTrackOf(state.module, t, f));
  });
  parts.push(format.tail);
  save(parts, name, format.type);
}

function describe(drawn) {
  $("legend").replaceChildren(...drawn.map((t) =>
    html("li", {}, swatch(t.style), `${t.label}: ${distance(t.length)}`)));
  const position = (t, i) => `${t.points[2 * i].toFixed(6)}, ${t.points[2 * i + 1].toFixed(6)}`;
  $("drawing-summary").textContent = drawn.map((t) => {
    const n = t.points.length / 2;
    const { across, up } = spans(t.points);
    const notDrawn = t.lines - n;
    return `${t.label}: ${count(n)} point${n === 1 ? "" : "s"}, ${distance(t.length)} long, ` +
      `from ${position(t, 0)} (ring) to ${position(t, n - 1)} (square), spanning ` +
      `${distance(Number(across.toPrecision(2)))} from west to east and ` +
      `${distance(Number(up.toPrecision(2)))} from south to north.` +
      (notDrawn > 0 ? ` ${count(notDrawn)} point${notDrawn === 1 ? " is" : "s are"} not a ` +
        "valid position on the earth (latitude beyond ±90° or longitude beyond ±180°) and not " +
        "drawn." : "");
  }).join(" ");
}

// The map: off at every load; on, it draws the tiles of the address given,
// which must be https and hold {z}, {x} and {y}.
function updateMap() {
  const address = $("tile-address");
  const usable = address.value.startsWith("https://") &&
    ["{z}", "{x}", "{y}"].every((part) => address.value.includes(part));
  address.setAttribute("aria-invalid", String(!usable));
  const on = $("map-switch").checked && usable;
  $("attribution").hidden = !on;
  drawing.setMap(on, address.value);
}
$("map-switch").checked = false;
$("map-switch").addEventListener("change", updateMap);
$("tile-address").addEventListener("change", updateMap);
$("reset-view").addEventListener("click", () => drawing.showAll());

$("file").addEventListener("change", (event) => {
  const files = [...event.target.files];
  event.target.value = "";  // so that the same file, picked again, is read again
  if (files.length > 0) show(files);
});
const pick = $("pick");
document.addEventListener("dragover", (event) => {
  event.preventDefault();
  pick.classList.add("dragging");
});
document.addEventListener("dragleave", () => pick.classList.remove("dragging"));
document.addEventListener("drop", (event) => {
  event.preventDefault();
  pick.classList.remove("dragging");
  if (event.dataTransfer.files.length > 0) show([...event.dataTransfer.files]);
});
