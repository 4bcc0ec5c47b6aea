"use strict";
// The page converts track-tail files with trb2csv's own code, compiled to
// WebAssembly (MODULE, base64), draws the tracks together, and saves each as
// CSV, GPX, KML or GeoJSON, or all of them as one GPX, KML or GeoJSON. The
// files never leave the page.

const converter = WebAssembly.instantiate(
  Uint8Array.from(atob(MODULE), (c) => c.charCodeAt(0))).then((result) => result.instance.exports);

const $ = (id) => document.getElementById(id);
const count = new Intl.NumberFormat("en").format;
const kilometres = new Intl.NumberFormat("en", { maximumFractionDigits: 2 }).format;
const encoder = new TextEncoder();
const SVG = "http://www.w3.org/2000/svg";
const METRES_PER_DEGREE = 6371008.8 * Math.PI / 180;  // of latitude, on the mean earth
const COLOURS = ["#1f5fa8", "#c0392b", "#1e8449", "#8e44ad", "#d35400", "#16a085", "#7d6608",
  "#5d6d7e"];
// The module's formats, in its order; part 3 of each is a file's track.
const FORMATS = [
  { name: "GPX", extension: ".gpx", type: "application/gpx+xml" },
  { name: "KML", extension: ".kml", type: "application/vnd.google-earth.kml+xml" },
  { name: "GeoJSON", extension: ".geojson", type: "application/geo+json" },
];
const TRACK_PART = 3;
// Of a saved file's name, in UTF-8: what a file system takes, less what
// Chromium adds while it saves (".crdownload"), or it saves nothing.
const MAX_NAME_BYTES = 255 - ".crdownload".length;

let runs = 0;
let tracks = [];  // the files shown, converted
let documents = [];  // for each format its head, separator and tail
let view = null;  // the drawing's centre (x, y) and pixels per unit; null: all
let layout = null;  // the drawing's size and the projection of its points

function bytesAt(c, pointer, size) {
  return new Uint8Array(c.memory.buffer, pointer, size).slice();
}

// The text cut at a character boundary to at most the given bytes of UTF-8.
function cutToBytes(text, bytes) {
  let cut = "";
  for (const character of text) {
    if (encoder.encode(cut + character).length > bytes) break;
    cut += character;
  }
  return cut;
}

function fittingName(base, extension) {
  return cutToBytes(base, MAX_NAME_BYTES - encoder.encode(extension).length) + extension;
}

function distance(metres) {
  return metres >= 1000 ? `${kilometres(metres / 1000)} km` : `${count(Math.round(metres))} m`;
}

// Converts one file; its result, or the reason it could not be read.
async function convert(c, file, colour) {
  const base = file.name.replace(/\.[^.]*$/, "") || "track";
  const track = { file, base, colour, warnings: [] };
  let head;
  try {
    head = new Uint8Array(await file.slice(0, c.input_capacity()).arrayBuffer());
  } catch (error) {
    track.error = `This file could not be read: ${error.message}`;
    return track;
  }
  const memory = new Uint8Array(c.memory.buffer);
  const name = encoder.encode(cutToBytes(base, c.name_capacity()));
  memory.set(name, c.name());
  memory[c.name() + name.length] = 0;
  memory.set(head, c.input());
  c.convert(head.length, file.size);
  Object.assign(track, {
    loaded: c.loaded_byte_count(),
    header: c.header_point_count(),
    walked: c.records_walked(),
    lines: c.csv_lines(),
    csv: bytesAt(c, c.csv(), c.csv_size()),
    maps: FORMATS.map((_, f) => bytesAt(c, c.map_part(f, TRACK_PART), c.map_part_size(f, TRACK_PART))),
    points: new Float64Array(c.memory.buffer, c.points(), 2 * c.point_count()).slice(),
    length: c.track_length(),
    doubts: new TextDecoder().decode(bytesAt(c, c.doubts(), c.doubts_size())),
  });
  track.warnings = warningsFor(c, track);
  return track;
}

function warningsFor(c, t) {
  if (t.loaded === 0) {
    return [`This file holds no track point: it has ${count(t.file.size)} bytes, and a ` +
      `track-tail file of ${c.body_offset()} bytes or fewer has no records. trb2csv writes no ` +
      "CSV file for it."];
  }
  const warnings = [];
  if (t.doubts) {
    warnings.push(`This file does not look like a track-tail file: ${t.doubts}. ` +
      "What trb2csv would write for it is shown all the same.");
  }
  if (t.lines === 0) {
    warnings.push("No record of this file gets a CSV line, so trb2csv writes no CSV file for it.");
  }
  if (t.loaded === c.load_limit()) {
    warnings.push(`The records take ${count(c.load_limit())} bytes or more, more than trb2csv ` +
      `reads: only the first ${count(c.max_records())} records are taken, as the console ` +
      "program does after its notice \"ceTrackTail too big to read into memory buffer\".");
  }
  return warnings;
}

// Converts the files and shows them in place of what was shown; the time it
// took goes to the hidden #elapsed, for the tests and the benchmark.
async function show(files) {
  const started = performance.now();
  const c = await converter;
  tracks = [];
  for (const [i, file] of files.entries()) {
    tracks.push(await convert(c, file, COLOURS[i % COLOURS.length]));
  }
  documents = FORMATS.map((_, f) => [0, 1, 2].map((part) =>
    bytesAt(c, c.map_part(f, part), c.map_part_size(f, part))));
  $("tracks").replaceChildren(...tracks.map(listing));
  $("results").hidden = false;
  $("save-all").hidden = tracks.length < 2;
  FORMATS.forEach((format, f) => {
    $(`save-all-${format.name.toLowerCase()}`).disabled = !tracks.some((t) => t.maps?.[f].length);
  });
  view = null;
  layout = null;
  draw();
  $("elapsed").textContent = (performance.now() - started).toFixed(1);
  $("elapsed").dataset.run = ++runs;
}

function html(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  node.append(...children);
  return node;
}

function saveButton(kind, label, save, disabled = false) {
  const button = html("button", { type: "button", class: `save-${kind}` }, label);
  button.disabled = disabled;
  button.addEventListener("click", save);
  return button;
}

// A file's part of the list: its name, warnings, counts and saves.
function listing(t) {
  const swatch = html("span", { class: "swatch" });
  swatch.style.background = t.colour;
  const node = html("article", { class: "track-result" }, html("h3", {}, swatch, t.file.name));
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
  const csv = (name) => () => save(t.csv, name, "text/csv");
  const saves = html("p", { class: "save" },
    saveButton("default", "Save as KeloTrackTail.csv", csv("KeloTrackTail.csv"), noLine),
    saveButton("named", `Save as ${fittingName(t.base, ".csv")}`,
      csv(fittingName(t.base, ".csv")), noLine),
    ...FORMATS.map((format, f) => saveButton(format.name.toLowerCase(), `Save as ${format.name}`,
      () => saveDocument(f, [t], fittingName(t.base, format.extension)), t.maps[f].length === 0 ||
      t.points.length === 0)));
  node.append(counts, saves);
  return node;
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
  const [head, separator, tail] = documents[f];
  const parts = [head];
  chosen.filter((t) => t.maps?.[f].length).forEach((t, i) => {
    if (i > 0) parts.push(separator);
    parts.push(t.maps[f]);
  });
  parts.push(tail);
  save(parts, name, FORMATS[f].type);
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

// The drawing's size, in CSS pixels, and its projection: x is the longitude
// times the cosine of the mean latitude, y the latitude, so that a unit is
// as long across as up and the tracks keep their shape. The box takes the
// tracks' own shape, between 1:2 and 2:1.
function layOut(drawn) {
  const width = Math.max(280, $("view").clientWidth || 800);
  const margin = { left: 78, right: 28, top: 12, bottom: 58 };
  const plot_width = width - margin.left - margin.right;
  const latitudes = drawn.flatMap((t) => Array.from(t.points.filter((_, i) => i % 2 === 0)));
  const longitudes = drawn.flatMap((t) => Array.from(t.points.filter((_, i) => i % 2 === 1)));
  const mean = latitudes.reduce((a, b) => a + b, 0) / latitudes.length;
  const across = Math.cos(mean * Math.PI / 180);
  const x_low = Math.min(...longitudes) * across;
  const x_high = Math.max(...longitudes) * across;
  const y_low = Math.min(...latitudes);
  const y_high = Math.max(...latitudes);
  const x_span = Math.max(x_high - x_low, 1e-5);
  const y_span = Math.max(y_high - y_low, 1e-5);
  const plot_height = Math.min(2 * plot_width, Math.max(plot_width / 2, plot_width * y_span / x_span));
  return {
    width, height: plot_height + margin.top + margin.bottom, margin, plot_width, plot_height,
    across, all: { x: (x_low + x_high) / 2, y: (y_low + y_high) / 2,
      scale: 0.94 * Math.min(plot_width / x_span, plot_height / y_span) },
  };
}

// Draws every track that has a point on the earth, in the current view;
// tics, labels and the scale bar follow the view.
function draw() {
  const drawn = tracks.filter((t) => t.points?.length > 0);
  $("track").hidden = drawn.length === 0;
  if (drawn.length === 0) {
    for (const id of ["drawing", "legend", "drawing-summary"]) $(id).replaceChildren();
    return;
  }
  if (!layout || layout.width !== Math.max(280, $("view").clientWidth || 800)) layout = layOut(drawn);
  const { width, height, margin, plot_width, plot_height, across } = layout;
  view = view || { ...layout.all };
  const centre_x = margin.left + plot_width / 2;
  const centre_y = margin.top + plot_height / 2;
  const px = (lon) => centre_x + (lon * across - view.x) * view.scale;
  const py = (lat) => centre_y - (lat - view.y) * view.scale;
  const svg = $("drawing");
  svg.replaceChildren();
  svg.setAttribute("viewBox", `0 0 ${width} ${height}`);
  svg.setAttribute("width", width);
  svg.setAttribute("height", height);
  const clip = element("clipPath", { id: "plot-area" }, element("defs", {}, svg));
  element("rect", { x: margin.left, y: margin.top, width: plot_width, height: plot_height }, clip);

  // The view's extent in degrees, and a few labelled tics on each axis.
  const west = (view.x - plot_width / 2 / view.scale) / across;
  const east = (view.x + plot_width / 2 / view.scale) / across;
  const south = view.y - plot_height / 2 / view.scale;
  const north = view.y + plot_height / 2 / view.scale;
  const tics = (low, high, length, place) => {
    const step = roundStep(Math.max((high - low) / Math.max(1, Math.floor(length / 110)), 1e-7), true);
    for (let value = Math.ceil(low / step) * step; value <= high + step * 1e-9; value += step) {
      place(value, value.toFixed(decimalsOf(step)));
    }
  };
  tics(west, east, plot_width, (lon, label) => {
    element("line", { class: "grid", x1: px(lon), x2: px(lon), y1: margin.top, y2: margin.top + plot_height }, svg);
    element("text", { x: px(lon), y: margin.top + plot_height + 17, "text-anchor": "middle" }, svg, `${label}°`);
  });
  tics(south, north, plot_height, (lat, label) => {
    element("line", { class: "grid", x1: margin.left, x2: margin.left + plot_width, y1: py(lat), y2: py(lat) }, svg);
    element("text", { x: margin.left - 5, y: py(lat) + 4, "text-anchor": "end" }, svg, `${label}°`);
  });

  const plot = element("g", { "clip-path": "url(#plot-area)" }, svg);
  for (const t of drawn) {
    const n = t.points.length / 2;
    const line = [];
    for (let i = 0; i < n; ++i) line.push(`${px(t.points[2 * i + 1]).toFixed(1)},${py(t.points[2 * i]).toFixed(1)}`);
    element("polyline", { class: "track-line", stroke: t.colour, points: line.join(" ") }, plot);
  }
  // Start rings and end squares on top of every line; a square fits inside
  // a ring, so both show where a track ends where it started.
  for (const t of drawn) {
    const n = t.points.length / 2;
    element("circle", { class: "start", cx: px(t.points[1]), cy: py(t.points[0]), r: 9 }, plot);
    element("rect", { class: "end", x: px(t.points[2 * n - 1]) - 5, y: py(t.points[2 * n - 2]) - 5,
      width: 10, height: 10 }, plot);
  }

  const metres_per_pixel = METRES_PER_DEGREE / view.scale;
  const bar = roundStep(Math.max(plot_width / 4 * metres_per_pixel, 1e-3));
  const bar_y = height - 10;
  element("line", { class: "scale", x1: margin.left, x2: margin.left + bar / metres_per_pixel,
    y1: bar_y, y2: bar_y }, svg);
  element("text", { x: margin.left + bar / metres_per_pixel + 8, y: bar_y + 4 }, svg, distance(bar));
  describe(drawn);
}

function describe(drawn) {
  $("legend").replaceChildren(...drawn.map((t) => {
    const swatch = html("span", { class: "swatch" });
    swatch.style.background = t.colour;
    return html("li", {}, swatch, `${t.file.name}: ${distance(t.length)}`);
  }));
  const position = (t, i) => `${t.points[2 * i].toFixed(6)}, ${t.points[2 * i + 1].toFixed(6)}`;
  $("drawing-summary").textContent = drawn.map((t) => {
    const n = t.points.length / 2;
    const lats = t.points.filter((_, i) => i % 2 === 0);
    const lons = t.points.filter((_, i) => i % 2 === 1);
    const mean = lats.reduce((a, b) => a + b, 0) / n;
    const span_across = (Math.max(...lons) - Math.min(...lons)) * METRES_PER_DEGREE *
      Math.cos(mean * Math.PI / 180);
    const span_up = (Math.max(...lats) - Math.min(...lats)) * METRES_PER_DEGREE;
    const not_drawn = t.lines - n;
    return `${t.file.name}: ${count(n)} point${n === 1 ? "" : "s"}, ${distance(t.length)} long, ` +
      `from ${position(t, 0)} (green ring) to ${position(t, n - 1)} (red square), spanning ` +
      `${distance(Number(span_across.toPrecision(2)))} from west to east and ` +
      `${distance(Number(span_up.toPrecision(2)))} from south to north.` +
      (not_drawn > 0 ? ` ${count(not_drawn)} point${not_drawn === 1 ? " is" : "s are"} not a ` +
        "valid position on the earth (latitude beyond ±90° or longitude beyond ±180°) and not " +
        "drawn." : "");
  }).join(" ");
}

// Zoom and pan: the point under (x, y), in the drawing's pixels, stays put.
function zoomAt(factor, x, y) {
  if (!view) return;
  const { margin, plot_width, plot_height } = layout;
  const dx = x - (margin.left + plot_width / 2);
  const dy = y - (margin.top + plot_height / 2);
  const scale = Math.min(Math.max(view.scale * factor, layout.all.scale / 20), layout.all.scale * 1e6);
  view = { x: view.x + dx / view.scale - dx / scale, y: view.y - dy / view.scale + dy / scale, scale };
  draw();
}

function panBy(dx, dy) {
  if (!view) return;
  view = { ...view, x: view.x - dx / view.scale, y: view.y + dy / view.scale };
  draw();
}

const drawing = $("drawing");
const pointers = new Map();  // the pointers down on the drawing, where they were
const pixelsOf = (event) => {
  const box = drawing.getBoundingClientRect();
  return { x: (event.clientX - box.left) * layout.width / box.width,
    y: (event.clientY - box.top) * layout.height / box.height };
};
drawing.addEventListener("wheel", (event) => {
  event.preventDefault();
  const at = pixelsOf(event);
  zoomAt(Math.exp(-event.deltaY * 0.002), at.x, at.y);
}, { passive: false });
drawing.addEventListener("pointerdown", (event) => {
  drawing.setPointerCapture(event.pointerId);
  pointers.set(event.pointerId, pixelsOf(event));
});
drawing.addEventListener("pointermove", (event) => {
  if (!pointers.has(event.pointerId)) return;
  const before = [...pointers.values()];
  pointers.set(event.pointerId, pixelsOf(event));
  const after = [...pointers.values()];
  if (after.length === 1) {
    panBy(after[0].x - before[0].x, after[0].y - before[0].y);
  } else if (after.length === 2) {
    const gap = (p) => Math.hypot(p[0].x - p[1].x, p[0].y - p[1].y);
    const middle = (p) => ({ x: (p[0].x + p[1].x) / 2, y: (p[0].y + p[1].y) / 2 });
    const [from, to] = [middle(before), middle(after)];
    panBy(to.x - from.x, to.y - from.y);
    zoomAt(gap(after) / Math.max(gap(before), 1), to.x, to.y);
  }
});
for (const type of ["pointerup", "pointercancel"]) {
  drawing.addEventListener(type, (event) => pointers.delete(event.pointerId));
}
drawing.addEventListener("keydown", (event) => {
  if (!layout) return;
  const centre = { x: layout.margin.left + layout.plot_width / 2,
    y: layout.margin.top + layout.plot_height / 2 };
  const step = layout.plot_width / 10;
  const actions = {
    "+": () => zoomAt(1.25, centre.x, centre.y),
    "=": () => zoomAt(1.25, centre.x, centre.y),
    "-": () => zoomAt(0.8, centre.x, centre.y),
    "−": () => zoomAt(0.8, centre.x, centre.y),
    ArrowLeft: () => panBy(step, 0),
    ArrowRight: () => panBy(-step, 0),
    ArrowUp: () => panBy(0, step),
    ArrowDown: () => panBy(0, -step),
    0: () => resetView(),
  };
  if (!actions[event.key]) return;
  event.preventDefault();
  actions[event.key]();
});
function resetView() {
  view = null;
  draw();
}
$("reset-view").addEventListener("click", resetView);
new ResizeObserver(() => {
  if (layout && layout.width !== Math.max(280, $("view").clientWidth || 800)) draw();
}).observe($("view"));

$("file").addEventListener("change", (event) => {
  const files = [...event.target.files];
  event.target.value = "";  // so that the same file, picked again, is read again
  if (files.length > 0) show(files);
});
FORMATS.forEach((format, f) => {
  $(`save-all-${format.name.toLowerCase()}`).addEventListener("click",
    () => saveDocument(f, tracks, `tracks${format.extension}`));
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
