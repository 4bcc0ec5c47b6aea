"use strict";
// The page converts a track-tail file with trb2csv's own code, compiled to
// WebAssembly (MODULE, base64), draws the track, and saves it as CSV, GPX or
// KML. The file never leaves the page.

const converter = WebAssembly.instantiate(
  Uint8Array.from(atob(MODULE), (c) => c.charCodeAt(0))).then((result) => result.instance.exports);

const $ = (id) => document.getElementById(id);
const count = new Intl.NumberFormat("en").format;
const SVG = "http://www.w3.org/2000/svg";
const METRES_PER_DEGREE = 6371008.8 * Math.PI / 180;  // of latitude, on the mean earth
let runs = 0;
let shown = null;  // the texts of the file shown, to save

function textAt(c, pointer, size) {
  return new Uint8Array(c.memory.buffer, pointer, size).slice();
}

// Converts the file and shows the result; the time it took goes to the
// hidden #elapsed, for the tests.
async function show(file) {
  const started = performance.now();
  const c = await converter;
  const head = new Uint8Array(await file.slice(0, c.input_capacity()).arrayBuffer());
  new Uint8Array(c.memory.buffer, c.input(), head.length).set(head);
  c.convert(head.length);

  const loaded = c.loaded_byte_count();
  const walked = c.records_walked();
  const lines = c.csv_lines();
  const base = file.name.replace(/\.[^.]*$/, "") || "track";
  shown = {
    base,
    csv: textAt(c, c.csv(), c.csv_size()),
    gpx: textAt(c, c.gpx(), c.gpx_size()),
    kml: textAt(c, c.kml(), c.kml_size()),
  };

  $("result").hidden = false;
  $("file-name").textContent = file.name;
  $("converted").hidden = loaded === 0;
  if (loaded === 0) {
    $("message").textContent = `This file holds no track point: it has ${count(file.size)} ` +
      "bytes, and a track-tail file of 204 bytes or fewer has no records. trb2csv writes no CSV " +
      "file for it.";
  } else if (loaded === c.load_limit()) {
    $("message").textContent = "The records take 65,535 bytes or more, more than trb2csv " +
      "reads: only the first 1,365 records are taken, as the console program does after its " +
      "notice \"ceTrackTail too big to read into memory buffer\".";
  } else {
    $("message").textContent = "";
  }
  $("header-count").textContent = count(c.header_point_count());
  $("records-walked").textContent = count(walked);
  $("lines-written").textContent = count(lines);
  $("left-out").textContent = count(walked - lines);
  $("save-named").textContent = `Save as ${base}.csv`;
  for (const id of ["save-gpx", "save-kml"]) $(id).disabled = c.point_count() === 0;

  const points = new Float64Array(c.memory.buffer, c.points(), 2 * c.point_count()).slice();
  draw(points, lines - c.point_count());

  $("elapsed").textContent = (performance.now() - started).toFixed(1);
  $("elapsed").dataset.run = ++runs;
}

function save(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function element(name, attributes, parent, text) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  parent.append(node);
  return node;
}

// 1, 2 or 5 times a power of ten: the largest not above the value, or with
// up set, the smallest not below it.
function roundStep(value, up = false) {
  const power = 10 ** Math.floor(Math.log10(value));
  const steps = [1, 2, 5, 10].map((m) => m * power);
  return up ? steps.find((step) => step >= value) : steps.reverse().find((step) => step <= value);
}

function decimalsOf(step) {
  return Math.max(0, -Math.floor(Math.log10(step) + 1e-9));
}

function distance(metres) {
  return metres >= 1000 ? `${count(metres / 1000)} km` : `${count(metres)} m`;
}

// Draws the points, latitude and longitude in turn: longitude across,
// latitude up, a degree of latitude 1/cos(mean latitude) times as long as
// one of longitude, so that the track keeps its shape.
function draw(points, not_drawn) {
  const svg = $("drawing");
  svg.replaceChildren();
  const n = points.length / 2;
  const summary = $("drawing-summary");
  const left_out = not_drawn > 0 ? ` ${count(not_drawn)} point${not_drawn === 1 ? " is" : "s are"}` +
    " not a valid position on the earth (latitude beyond ±90° or longitude beyond ±180°) and " +
    "not drawn." : "";
  svg.hidden = n === 0;
  if (n === 0) {
    summary.textContent = "No point to draw." + left_out;
    return;
  }
  const lats = points.filter((_, i) => i % 2 === 0);
  const lons = points.filter((_, i) => i % 2 === 1);
  const [south, north] = [Math.min(...lats), Math.max(...lats)];
  const [west, east] = [Math.min(...lons), Math.max(...lons)];
  const stretch = 1 / Math.cos((lats.reduce((a, b) => a + b, 0) / n) * Math.PI / 180);
  const across = Math.max(east - west, 1e-5);
  const up = Math.max((north - south) * stretch, 1e-5);
  // The track in the middle of a box of fixed shape, room for labels around.
  const box = { width: 800, height: 520 };
  const scale = Math.min(box.width / across, box.height / up);
  const width = across * scale;
  const height = up * scale;
  const margin = { left: 90 + (box.width - width) / 2, top: 20 + (box.height - height) / 2 };
  const x = (lon) => margin.left + (lon - west) * scale;
  const y = (lat) => margin.top + height - (lat - south) * stretch * scale;
  svg.setAttribute("viewBox", `0 0 ${box.width + 110} ${box.height + 80}`);

  // A few labelled tics on each axis, at round degrees, their labels apart.
  const tics = (low, high, length, place) => {
    const step = roundStep(Math.max((high - low) / Math.max(1, Math.floor(length / 110)), 1e-6), true);
    for (let value = Math.ceil(low / step) * step; value <= high + step * 1e-9; value += step) {
      place(value, value.toFixed(decimalsOf(step)));
    }
  };
  tics(west, east, width, (lon, label) => {
    element("line", { class: "grid", x1: x(lon), x2: x(lon), y1: margin.top, y2: margin.top + height }, svg);
    element("text", { x: x(lon), y: margin.top + height + 16, "text-anchor": "middle" }, svg, `${label}°`);
  });
  tics(south, north, height, (lat, label) => {
    element("line", { class: "grid", x1: margin.left, x2: margin.left + width, y1: y(lat), y2: y(lat) }, svg);
    element("text", { x: margin.left - 6, y: y(lat) + 4, "text-anchor": "end" }, svg, `${label}°`);
  });

  const line = [];
  for (let i = 0; i < n; ++i) line.push(`${x(lons[i]).toFixed(2)},${y(lats[i]).toFixed(2)}`);
  element("polyline", { class: "track-line", points: line.join(" ") }, svg);
  element("circle", { class: "start", cx: x(lons[0]), cy: y(lats[0]), r: 7 }, svg);
  element("rect", { class: "end", x: x(lons[n - 1]) - 6, y: y(lats[n - 1]) - 6, width: 12, height: 12 }, svg);

  // Metres per drawn unit across, at the mean latitude.
  const metres_per_unit = METRES_PER_DEGREE / stretch / scale;
  const bar = roundStep(Math.max(width / 4 * metres_per_unit, 1e-3));
  const bar_x = 90;
  const bar_y = box.height + 62;
  element("line", { class: "scale", x1: bar_x, x2: bar_x + bar / metres_per_unit, y1: bar_y, y2: bar_y }, svg);
  element("text", { x: bar_x + bar / metres_per_unit + 8, y: bar_y + 4 }, svg, distance(bar));

  const position = (i) => `${lats[i].toFixed(6)}, ${lons[i].toFixed(6)}`;
  const span_across = (east - west) * METRES_PER_DEGREE / stretch;
  const span_up = (north - south) * METRES_PER_DEGREE;
  summary.textContent = `The track of ${count(n)} point${n === 1 ? "" : "s"} starts at ` +
    `${position(0)} (green circle) and ends at ${position(n - 1)} (red square). It spans ` +
    `${distance(Number(span_across.toPrecision(2)))} from west to east and ` +
    `${distance(Number(span_up.toPrecision(2)))} from south to north.` +
    left_out;
}

$("file").addEventListener("change", (event) => {
  if (event.target.files.length > 0) show(event.target.files[0]);
});
$("save-default").addEventListener("click", () => save(shown.csv, "KeloTrackTail.csv", "text/csv"));
$("save-named").addEventListener("click", () => save(shown.csv, `${shown.base}.csv`, "text/csv"));
$("save-gpx").addEventListener("click",
  () => save(shown.gpx, `${shown.base}.gpx`, "application/gpx+xml"));
$("save-kml").addEventListener("click",
  () => save(shown.kml, `${shown.base}.kml`, "application/vnd.google-earth.kml+xml"));

const pick = $("pick");
document.addEventListener("dragover", (event) => {
  event.preventDefault();
  pick.classList.add("dragging");
});
document.addEventListener("dragleave", () => pick.classList.remove("dragging"));
document.addEventListener("drop", (event) => {
  event.preventDefault();
  pick.classList.remove("dragging");
  if (event.dataTransfer.files.length > 0) show(event.dataTransfer.files[0]);
});
