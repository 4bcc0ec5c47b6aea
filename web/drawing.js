// The drawing of the tracks: in Web Mercator (projection.js), as map tiles
// are, so that a map lines up under the tracks at every zoom; the view (a
// centre and a scale), its grid, labels and scale bar, the tracks with their
// start and end marks, and the map when it is switched on. The gestures that
// move and zoom the view are gestures.js's.

import { distance, latitudeOf, longitudeOf, metresPerPixel, roundStep, tics, worldX, worldY,
  wrapped } from "./projection.js";

export const SVG = "http://www.w3.org/2000/svg";
const TILE_SIZE = 256;
const MAX_TILE_ZOOM = 19;
export const ZOOM_STEP = 1.25;  // of a key or a button
// Six hues that differ in lightness as well, each with 3:1 contrast on a
// white and on a black page, and four dashes: twelve tracks differ in both,
// so that they are told apart without telling red from green. The marks are
// in the text's colour, which no track has.
const PALETTE = ["#1f6fb2", "#c2410c", "#0f8a6a", "#8e44ad", "#8a6d1d", "#c2185b"];
const DASHES = ["", "9 5", "2 5", "14 4 3 4"];

export function trackStyle(i) {
  return { colour: PALETTE[i % PALETTE.length], dash: DASHES[i % DASHES.length] };
}

export function element(name, attributes, parent, text) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  parent.append(node);
  return node;
}

// A map tile's picture, from a successful answer alone: an error page that
// a server sends as a picture (403 "Access blocked") is no map. Sent with
// the page's origin as Referer, where it has one (a page opened from a file
// has none). Resolves to the picture's address in this page, or rejects
// with the answer's status (0 when there was no answer).
async function fetchTile(url) {
  let answer;
  try {
    answer = await fetch(url, { referrerPolicy: "origin", credentials: "omit" });
  } catch {
    throw { status: 0 };
  }
  const picture = answer.ok ? await answer.blob() : null;
  if (!picture || !picture.type.startsWith("image/")) throw { status: answer.status };
  return URL.createObjectURL(picture);
}

// The map under the tracks: the tiles of an address ({z}, {x} and {y} in
// it) that a view shows, each fetched once and kept while it is shown, its
// picture let go when it is not; mapProblem(status) is told of a tile that
// cannot be had, which leaves the grid.
function createTileLayer(mapProblem) {
  const tiles = new Map();  // the tiles' images by place and address; null: failed
  let address = "";

  function draw(parent, scale, px, py, x0, x1, y0, y1) {
    const zoom = Math.max(0, Math.min(MAX_TILE_ZOOM, Math.round(Math.log2(scale / TILE_SIZE))));
    const n = 2 ** zoom;
    const shown = new Set();
    const [txLow, txHigh] = [Math.floor(x0 * n), Math.floor(x1 * n)];
    const [tyLow, tyHigh] = [Math.max(0, Math.floor(y0 * n)), Math.min(n - 1, Math.floor(y1 * n))];
    if ((txHigh - txLow + 1) * (tyHigh - tyLow + 1) > 200) return;
    for (let tx = txLow; tx <= txHigh; ++tx) {
      for (let ty = tyLow; ty <= tyHigh; ++ty) {
        const url = address.replaceAll("{z}", zoom).replaceAll("{x}", ((tx % n) + n) % n)
          .replaceAll("{y}", ty);
        const key = `${tx}/${ty}/${url}`;
        shown.add(key);
        let image = tiles.get(key);
        if (image === null) continue;  // it failed: the grid shows through
        if (!image) {
          const fetched = document.createElementNS(SVG, "image");
          fetched.dataset.tile = url;
          fetched.setAttribute("preserveAspectRatio", "none");
          tiles.set(key, fetched);
          fetchTile(url).then((picture) => {
            if (tiles.get(key) === fetched) fetched.setAttribute("href", picture);
            else URL.revokeObjectURL(picture);
          }, (problem) => {
            if (tiles.get(key) !== fetched) return;
            tiles.set(key, null);
            fetched.remove();
            mapProblem(problem.status);
          });
          image = fetched;
        }
        const side = scale / n + 0.5;  // no seam between tiles
        image.setAttribute("x", px(tx / n));
        image.setAttribute("y", py(ty / n));
        image.setAttribute("width", side);
        image.setAttribute("height", side);
        parent.append(image);
      }
    }
    for (const key of tiles.keys()) if (!shown.has(key) && tiles.get(key)) forget(key);
  }

  // A tile no longer shown, and its picture.
  function forget(key) {
    const picture = tiles.get(key)?.getAttribute("href");
    if (picture) URL.revokeObjectURL(picture);
    tiles.delete(key);
  }

  return {
    draw,
    // Tiles from this address from now on.
    use(tileAddress) {
      address = tileAddress;
      for (const key of [...tiles.keys()]) forget(key);
    },
  };
}

// The drawing in the SVG element svg; mapProblem(status) is told when a map
// tile cannot be had.
export function createDrawing(svg, mapProblem) {
  const measure = document.createElement("canvas").getContext("2d");
  let tracks = [];  // { x: [], y: [], style, line, halo }: in world units, and drawn
  let origin = null;  // of the lines' points
  let view = null;  // { x, y, scale }: the centre in world units, pixels per unit
  let mapOn = false;
  const map = createTileLayer(mapProblem);
  let radius = 1;  // of the earth, in metres: the module's
  // The lines' points are whole decimetres (at the equator): what a file's
  // six decimals tell, in numbers that a browser reads fast and exactly.
  let decimetresPerUnit = 1;

  measure.font = "13px system-ui, sans-serif";  // as the page's style sets the labels
  const labelWidth = (text) => measure.measureText(text).width;

  function size() {
    const width = Math.max(280, svg.parentElement.clientWidth || 800);
    const controls = ["view-tools", "view-controls"]
      .reduce((sum, id) => sum + (document.getElementById(id)?.offsetHeight ?? 0), 0);
    return { width, room: Math.max(220, window.innerHeight - controls - 24) };
  }

  // The box of all points, and the view that shows them all in a plot of
  // the given size.
  function whole(plotWidth, plotHeight) {
    let [xLow, xHigh, yLow, yHigh] = [Infinity, -Infinity, Infinity, -Infinity];
    for (const t of tracks) {
      for (let i = 0; i < t.x.length; ++i) {
        if (t.x[i] < xLow) xLow = t.x[i];
        if (t.x[i] > xHigh) xHigh = t.x[i];
        if (t.y[i] < yLow) yLow = t.y[i];
        if (t.y[i] > yHigh) yHigh = t.y[i];
      }
    }
    const least = 200 / (2 * Math.PI * radius);  // about 200 m around a single point
    const [xSpan, ySpan] = [Math.max(xHigh - xLow, least), Math.max(yHigh - yLow, least)];
    return { xSpan, ySpan, view: { x: (xLow + xHigh) / 2, y: (yLow + yHigh) / 2,
      scale: 0.92 * Math.min(plotWidth / xSpan, plotHeight / ySpan) } };
  }

  // The plot's size: as wide as the page allows, the tracks' own shape
  // between 1:2 and 2:1, and no higher than the window leaves room for.
  function layOut() {
    const { width, room } = size();
    const margin = { top: 12, right: 16, bottom: 50, left: 84 };
    const plotWidth = width - margin.left - margin.right;
    const { xSpan, ySpan } = whole(plotWidth, plotWidth);
    const shaped = Math.min(2 * plotWidth, Math.max(plotWidth / 2, plotWidth * ySpan / xSpan));
    const plotHeight = Math.min(shaped, room - margin.top - margin.bottom);
    return { width, plotHeight, height: plotHeight + margin.top + margin.bottom, margin };
  }

  function draw() {
    svg.replaceChildren();
    if (tracks.length === 0) return;
    const layout = layOut();
    const { width, height, plotHeight, margin } = layout;
    if (!view) view = whole(width - margin.left - margin.right, plotHeight).view;
    // The latitude labels first: the plot's left edge follows from their width.
    const yTop = view.y - plotHeight / 2 / view.scale;
    const yBottom = view.y + plotHeight / 2 / view.scale;
    const latitudes = tics(latitudeOf(yBottom), latitudeOf(yTop), plotHeight);
    const latitudeLabels = latitudes.values.map((v) => `${v.toFixed(latitudes.decimals)}°`);
    margin.left = Math.ceil(Math.max(40, ...latitudeLabels.map(labelWidth)) + 12);
    const plotWidth = width - margin.left - margin.right;
    const centreX = margin.left + plotWidth / 2;
    const centreY = margin.top + plotHeight / 2;
    const px = (x) => centreX + (x - view.x) * view.scale;
    const py = (y) => centreY + (y - view.y) * view.scale;
    const [x0, x1] = [view.x - plotWidth / 2 / view.scale, view.x + plotWidth / 2 / view.scale];
    Object.assign(layout, { plotWidth, centreX, centreY });
    drawing.layout = layout;

    svg.setAttribute("viewBox", `0 0 ${width} ${height}`);
    svg.setAttribute("width", width);
    svg.setAttribute("height", height);
    const clip = element("clipPath", { id: "plot-area" }, element("defs", {}, svg));
    element("rect", { x: margin.left, y: margin.top, width: plotWidth, height: plotHeight }, clip);
    const plot = element("g", { "clip-path": "url(#plot-area)" }, svg);
    if (mapOn) map.draw(element("g", { class: "map" }, plot), view.scale, px, py, x0, x1, yTop, yBottom);

    const longitudes = tics(longitudeOf(x0), longitudeOf(x1), plotWidth);
    for (const longitude of longitudes.values) {
      const x = px(worldX(longitude));
      element("line", { class: "grid", x1: x, x2: x, y1: margin.top, y2: margin.top + plotHeight }, plot);
      // A label that would stand out of the drawing is left out.
      const label = `${wrapped(longitude).toFixed(longitudes.decimals)}°`;
      if (x + labelWidth(label) / 2 > width) continue;
      element("text", { x, y: margin.top + plotHeight + 17, "text-anchor": "middle" }, svg, label);
    }
    latitudes.values.forEach((latitude, i) => {
      const y = py(worldY(latitude));
      element("line", { class: "grid", x1: margin.left, x2: margin.left + plotWidth, y1: y, y2: y }, plot);
      element("text", { x: margin.left - 6, y: y + 4, "text-anchor": "end" }, svg, latitudeLabels[i]);
    });

    // The lines keep their points, in decimetres from the origin: a view
    // moves and scales them as a whole.
    const lines = element("g", { transform: `translate(${px(origin.x)} ${py(origin.y)}) ` +
      `scale(${view.scale / decimetresPerUnit})` }, plot);
    for (const t of tracks) {
      if (mapOn) lines.append(t.halo);
      lines.append(t.line);
    }
    // Start rings and end squares on top of every line; a square fits inside
    // a ring, so both show where a track ends where it started.
    for (const t of tracks) {
      const last = t.x.length - 1;
      element("circle", { class: "start-halo", cx: px(t.x[0]), cy: py(t.y[0]), r: 9 }, plot);
      element("circle", { class: "start", cx: px(t.x[0]), cy: py(t.y[0]), r: 9 }, plot);
      element("rect", { class: "end", x: px(t.x[last]) - 5, y: py(t.y[last]) - 5, width: 10,
        height: 10 }, plot);
    }

    // A bar of a round length, about a quarter of the plot, true at the
    // view's centre; none where there is nothing to measure.
    if (tracks.some((t) => t.x.length > 1) || tracks.length > 1) {
      const metres = metresPerPixel(latitudeOf(view.y), view.scale, radius);
      const bar = roundStep(plotWidth / 4 * metres);
      const y = height - 10;
      element("line", { class: "scale", x1: margin.left, x2: margin.left + bar / metres,
        y1: y, y2: y }, svg);
      element("text", { x: margin.left + bar / metres + 8, y: y + 4, class: "scale-label" },
        svg, distance(bar));
    }
  }

  // Zoom about (x, y), in the drawing's pixels: the point under it stays.
  function zoomAt(factor, x, y) {
    if (!view || !drawing.layout) return;
    const { centreX, centreY, plotWidth, plotHeight } = drawing.layout;
    const all = whole(plotWidth, plotHeight).view.scale;
    // At most a millimetre a pixel; at least a twentieth of the whole view.
    const deepest = 2 * Math.PI * radius / 0.001;
    const scale = Math.min(Math.max(view.scale * factor, Math.min(all / 20, deepest)), deepest);
    const [dx, dy] = [x - centreX, y - centreY];
    view = { x: view.x + dx / view.scale - dx / scale, y: view.y + dy / view.scale - dy / scale, scale };
    draw();
  }

  function panBy(dx, dy) {
    if (!view) return;
    view = { ...view, x: view.x - dx / view.scale, y: view.y - dy / view.scale };
    draw();
  }

  // Drawn again when the room for it changes: the page's width or the window's height.
  let drawnFor = "";
  const redrawIfResized = () => {
    const { width, room } = size();
    if (drawnFor !== `${width} ${room}` && tracks.length > 0) draw();
    drawnFor = `${width} ${room}`;
  };
  new ResizeObserver(redrawIfResized).observe(svg.parentElement);
  window.addEventListener("resize", redrawIfResized);

  const drawing = {
    layout: null,
    // Shows these tracks, each { points: [latitude, longitude, ...],
    // longitudes: unwrapped, style }, all in view, on an earth of the radius;
    // shorterWayRound(from, to) is the module's rule of the antimeridian.
    show(shown, earthRadius, shorterWayRound) {
      radius = earthRadius;
      decimetresPerUnit = 2 * Math.PI * radius * 10;
      // Each track the short way round, and all of them from the first one's
      // start: tracks on both sides of the antimeridian lie side by side.
      let reference = null;
      tracks = shown.map((t) => {
        reference ??= t.longitudes[0];
        const turn = shorterWayRound(reference, t.longitudes[0]) - t.longitudes[0];
        const longitudes = Array.from(t.longitudes, (longitude) => longitude + turn);
        return { style: t.style, x: longitudes.map(worldX),
          y: Array.from(longitudes, (_, i) => worldY(t.points[2 * i])) };
      });
      origin = { x: tracks[0]?.x[0] ?? 0, y: tracks[0]?.y[0] ?? 0 };
      for (const t of tracks) {
        let points = "";
        for (let i = 0; i < t.x.length; ++i) {
          points += `${Math.round((t.x[i] - origin.x) * decimetresPerUnit)},` +
            `${Math.round((t.y[i] - origin.y) * decimetresPerUnit)} `;
        }
        const parent = document.createElementNS(SVG, "g");
        t.halo = element("polyline", { class: "halo", points }, parent);
        t.line = element("polyline", { class: "track-line", stroke: t.style.colour,
          "stroke-dasharray": t.style.dash, points }, parent);
      }
      view = null;
      drawing.layout = null;
      draw();
    },
    showAll() {
      view = null;
      draw();
    },
    // The map under the tracks, from tiles at address ({z}, {x} and {y} in it).
    setMap(on, address) {
      mapOn = on;
      map.use(address);
      draw();
    },
    zoomAt,
    panBy,
    // Zoom in (factor above 1) or out about the plot's centre.
    zoomBy(factor) {
      if (drawing.layout) zoomAt(factor, drawing.layout.centreX, drawing.layout.centreY);
    },
    // Where a point is drawn, in the drawing's pixels (for the tests).
    pixelOf(latitude, longitude) {
      const { centreX, centreY } = drawing.layout;
      return { x: centreX + (worldX(longitude) - view.x) * view.scale,
        y: centreY + (worldY(latitude) - view.y) * view.scale };
    },
  };
  return drawing;
}
