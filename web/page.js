// The page's wiring: files picked or dropped are converted (bridge.js),
// listed with their warnings, counts and saves, and drawn together
// (drawing.js). A new pick or drop replaces what is shown: the one that came
// last is shown, whatever order their files are read in.

import { convertTrack, converter, count, csvOf, cutToBytes, encoder, mapFormats, mapTrackOf,
  readTrackFile } from "./bridge.js";
import { SVG, ZOOM_STEP, createDrawing, element, trackStyle } from "./drawing.js";
import { attachGestures } from "./gestures.js";
import { distance, spans } from "./projection.js";

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
// Global, for the tests to ask where a point is drawn.
const drawing = createDrawing($("drawing"), showMapProblem);
attachGestures($("drawing"), drawing, $("wheel-hint"));

function fittingName(base, extension) {
  return cutToBytes(base, MAX_NAME_BYTES - encoder.encode(extension).length) + extension;
}

const withoutExtension = (name) => name.replace(/\.[^.]*$/, "") || "track";

// How each file is named in the list, the legend, the saved tracks and the
// files saved: files of one name (every device names its file
// ceTrackTail.trb) get a number, and in the page and the tracks their date;
// the files saved of them carry the number ("ceTrackTail (2).gpx").
function namesOf(files) {
  const total = new Map();
  for (const file of files) total.set(file.name, (total.get(file.name) ?? 0) + 1);
  const seen = new Map();
  return files.map((file) => {
    const base = withoutExtension(file.name);
    if (total.get(file.name) === 1) return { label: file.name, track: base, base, number: "" };
    seen.set(file.name, (seen.get(file.name) ?? 0) + 1);
    const number = ` (${seen.get(file.name)})`;
    const suffix = `${number}, ${dateFormat.format(file.lastModified)}`;
    return { label: file.name + suffix, track: base + suffix, base: base + number, number };
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
    { label: names[i].label, base: names[i].base, number: names[i].number,
      style: trackStyle(i) }));
  // Drawn first, while the page's layout holds, which the drawing's size
  // reads, and then the list, so that the page is laid out once.
  const drawn = state.tracks.filter((t) => t.points?.length > 0);
  $("results").hidden = false;
  $("track").hidden = drawn.length === 0;
  drawing.show(drawn, c.earth_radius(), c.shorter_way_round);
  describe(drawn);
  $("tracks").replaceChildren(...state.tracks.map(listing));
  showSaveAll();
  $("skip").hidden = drawn.length === 0;
  announce(state.tracks);
  $("elapsed").textContent = (performance.now() - started).toFixed(1);
  $("elapsed").dataset.run = ++state.runs;
}

function html(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  node.append(...children);
  return node;
}

// A name as it is shown: in an isolate of its own, so that a name in a
// script written right to left, or with a control of direction in it,
// turns no text around it.
const isolated = (name) => html("bdi", {}, name);

// A save button; of, where given, names the track it saves for a screen
// reader, which reads the buttons of many tracks one after the other.
function saveButton(kind, label, onSave, disabled = false, of = null) {
  const button = html("button", { type: "button", class: `save-${kind}` }, ...label);
  if (of) button.append(html("span", { class: "visually-hidden" }, " of ", isolated(of)));
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
  const node = html("article", { class: "track-result" },
    html("h3", {}, swatch(t.style), isolated(t.label)));
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
  const consoleName = `KeloTrackTail${t.number}.csv`;
  const ownName = fittingName(t.base, ".csv");
  const saves = html("p", { class: "save" },
    saveButton("default", ["Save as ", isolated(consoleName)], csv(consoleName), noLine, t.label),
    saveButton("named", ["Save as ", isolated(ownName)], csv(ownName), noLine, t.label),
    ...state.formats.map((format, f) => saveButton(format.name.toLowerCase(),
      [`Save as ${format.name}`], () => saveDocument(f, [t], fittingName(t.base, format.extension)),
      t.points.length === 0, t.label)));
  node.append(counts, saves);
  return node;
}

// "Save all" holds the tracks with a point on the earth.
function showSaveAll() {
  const mapped = state.tracks.filter((t) => t.points?.length > 0);
  const tracks = mapped.length === 1 ? "the 1 track" : `all ${mapped.length} tracks`;
  $("save-all").replaceChildren(...state.formats.map((format, f) => saveButton(
    `all-${format.name.toLowerCase()}`, [`Save ${tracks} as one ${format.name}`],
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
    html("li", {}, swatch(t.style), isolated(t.label), `: ${distance(t.length)}`)));
  const position = (t, i) => `${t.points[2 * i].toFixed(6)}, ${t.points[2 * i + 1].toFixed(6)}`;
  $("drawing-summary").replaceChildren(...drawn.flatMap((t, k) => {
    const n = t.points.length / 2;
    const { across, up } = spans(t.points, t.longitudes, state.module.earth_radius());
    const notDrawn = t.lines - n;
    return [k > 0 ? " " : "", isolated(t.label),
      `: ${count(n)} point${n === 1 ? "" : "s"}, ${distance(t.length)} long, ` +
      `from ${position(t, 0)} (ring) to ${position(t, n - 1)} (square), spanning ` +
      `${distance(Number(across.toPrecision(2)))} from west to east and ` +
      `${distance(Number(up.toPrecision(2)))} from south to north.` +
      (notDrawn > 0 ? ` ${count(notDrawn)} point${notDrawn === 1 ? " is" : "s are"} not a ` +
        "valid position on the earth (latitude beyond ±90° or longitude beyond ±180°) and not " +
        "drawn." : "")];
  }));
}

// Says what a pick gave, for a screen reader: "3 tracks, 1 not a track-tail
// file" (that does not look like one, or gives no point).
function announce(tracks) {
  const notTracks = tracks.filter((t) => t.error || t.loaded === 0 || t.doubts).length;
  const unmapped = tracks.filter((t) => !t.error && t.loaded > 0 && t.points.length === 0).length;
  const parts = [`${count(tracks.length)} track${tracks.length === 1 ? "" : "s"}`];
  if (notTracks > 0) {
    parts.push(notTracks === 1 ? "1 not a track-tail file" : `${count(notTracks)} not track-tail files`);
  }
  if (unmapped > 0) parts.push(`${count(unmapped)} without a point on the earth`);
  $("announcement").textContent = parts.join(", ");
}

const OSM_TILES = "https://tile.openstreetmap.org/";

// What is wrong with a tile address, or "" if nothing.
function addressProblem(address) {
  if (!address.startsWith("https://")) {
    return "The address must start with https://: the page fetches no map pictures unencrypted.";
  }
  if (address.includes("{s}")) {
    return "Name one server in place of {s} (as https://a.tile.example.org/…): the page does " +
      "not choose among servers.";
  }
  if (!["{z}", "{x}", "{y}"].every((part) => address.includes(part))) {
    return "The address must hold {z}, {x} and {y}, where the zoom and the tile's column and " +
      "row go.";
  }
  return "";
}

// Who the map pictures are from: OpenStreetMap's own words for its tiles,
// the server's name for any other.
function attributionOf(address) {
  if (address.startsWith(OSM_TILES)) {
    return ["© ", html("a", { href: "https://www.openstreetmap.org/copyright" },
      "OpenStreetMap contributors")];
  }
  return [`Map pictures from ${new URL(address.replaceAll(/[{}]/g, "")).host}`];
}

// Said beside the map, once, when a tile cannot be had.
function showMapProblem(status) {
  if ($("map-status").textContent) return;
  const server = new URL($("tile-address").value.replaceAll(/[{}]/g, "")).host;
  const fromFile = location.protocol === "file:";
  $("map-status").textContent = status === 0 ?
    `The map pictures could not be fetched from ${server}: it cannot be reached, or it does ` +
      "not let web pages fetch its pictures. The tracks are drawn without the map." :
    `${server} refused the map pictures (answer ${status}). ` + (fromFile ?
      "A page opened from a file sends no Referer, which OpenStreetMap's tile servers ask " +
        "for: open this page from a web server, or choose another tile server under “Map " +
        "pictures from”." :
      "Choose another tile server under “Map pictures from”.");
}

// The map: off at every load; on, it draws the tiles of the address given,
// which must be https and hold {z}, {x} and {y}.
function updateMap() {
  const address = $("tile-address");
  const problem = addressProblem(address.value);
  address.setAttribute("aria-invalid", String(problem !== ""));
  $("tile-address-problem").textContent = problem;
  const on = $("map-switch").checked && problem === "";
  if (on) $("attribution").replaceChildren(...attributionOf(address.value));
  $("attribution").hidden = !on;
  $("map-status").textContent = $("map-switch").checked && problem !== "" ?
    "The map is not drawn: its address under “Map pictures from” is not one to use." : "";
  drawing.setMap(on, address.value);
}
$("map-switch").checked = false;
$("map-switch").addEventListener("change", updateMap);
$("tile-address").addEventListener("change", updateMap);
$("reset-view").addEventListener("click", () => drawing.showAll());
$("zoom-in").addEventListener("click", () => drawing.zoomBy(ZOOM_STEP));
$("zoom-out").addEventListener("click", () => drawing.zoomBy(1 / ZOOM_STEP));

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
