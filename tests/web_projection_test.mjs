// The page's projection (web/projection.js) in node: Web Mercator both ways,
// names of longitudes beyond ±180, a track's extent across the antimeridian,
// round steps, tics and lengths in words.
//
//   node web_projection_test.mjs PATH/TO/web/projection.js
import assert from "node:assert/strict";
import { pathToFileURL } from "node:url";

const p = await import(pathToFileURL(process.argv[2]));
const near = (actual, expected, within, what) =>
  assert.ok(Math.abs(actual - expected) <= within, `${what}: ${actual}, not ${expected}`);

for (const longitude of [-180, -10.5, 0, 179.999]) {
  near(p.longitudeOf(p.worldX(longitude)), longitude, 1e-9, `longitude ${longitude}`);
}
for (const latitude of [-85, -33.8568, 0, 53.558, 85]) {
  near(p.latitudeOf(p.worldY(latitude)), latitude, 1e-9, `latitude ${latitude}`);
}
assert.equal(p.worldY(90), p.worldY(p.MAX_LATITUDE), "the pole at the edge of Web Mercator");
assert.ok(p.worldY(60) < p.worldY(0), "north is up");

for (const [longitude, name] of [[180.1, -179.9], [-180.05, 179.95], [10, 10], [540, -180]]) {
  near(p.wrapped(longitude), name, 1e-9, `the name of longitude ${longitude}`);
}

// Two points 0.2 degrees apart across the antimeridian, unwrapped.
const radius = 6371008.8;
const { across, up } = p.spans([10, 179.9, 10.1, -179.9], [179.9, 180.1], radius);
near(across, 21895, 10, "across the antimeridian");
near(up, 11119, 1, "from south to north");

const steps = [[3, false, 2], [3, true, 5], [1, false, 1], [7, true, 10], [0.004, true, 0.005]];
for (const [value, up, step] of steps) {
  near(p.roundStep(value, up), step, step * 1e-12, `the round step of ${value}, up ${up}`);
}
const { values, decimals } = p.tics(0.05, 1.01, 500);
assert.deepEqual(values.map((v) => v.toFixed(decimals)), ["0.2", "0.4", "0.6", "0.8", "1.0"]);
near(p.metresPerPixel(60, 256, radius), 78184.04, 0.01, "a pixel at 60 degrees, zoom 0");

for (const [metres, words] of [[0, "0 m"], [4400, "4.4 km"], [980.4, "980 m"], [0.5, "50 cm"],
  [0.002, "2 mm"], [12345678, "12,345.68 km"]]) {
  assert.equal(p.distance(metres), words);
}
console.log("web projection: all cases passed");
