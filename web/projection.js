// Where the drawing puts a position, and how it measures: Web Mercator, as
// map tiles are, in world units (0 to 1 across and down); a track's extent
// the shorter way round the antimeridian (its longitudes come unwrapped from
// the module, which holds that rule); round steps for tics and the scale
// bar; lengths in words. Pure functions, tested in node.

export const MAX_LATITUDE = 85.0511287798;  // the edge of Web Mercator

const clampLatitude = (latitude) => Math.max(-MAX_LATITUDE, Math.min(MAX_LATITUDE, latitude));
export const worldX = (longitude) => (longitude + 180) / 360;
export const worldY = (latitude) =>
  (1 - Math.log(Math.tan(Math.PI / 4 + clampLatitude(latitude) * Math.PI / 360)) / Math.PI) / 2;
export const longitudeOf = (x) => x * 360 - 180;
export const latitudeOf = (y) => Math.atan(Math.sinh(Math.PI * (1 - 2 * y))) * 180 / Math.PI;
// A longitude beyond ±180, where a track crossed the antimeridian, as it is named.
export const wrapped = (longitude) => ((longitude + 540) % 360 + 360) % 360 - 180;

// The extent of a track: metres from west to east (along its mean latitude)
// and from south to north, of points [latitude, longitude, ...] whose
// longitudes, unwrapped, are given apart, on a sphere of the given radius.
export function spans(points, longitudes, radius) {
  let [south, north, mean] = [Infinity, -Infinity, 0];
  for (let i = 0; i < longitudes.length; ++i) {
    south = Math.min(south, points[2 * i]);
    north = Math.max(north, points[2 * i]);
    mean += points[2 * i] / longitudes.length;
  }
  const metresPerDegree = radius * Math.PI / 180;
  return {
    across: (Math.max(...longitudes) - Math.min(...longitudes)) * metresPerDegree *
      Math.cos(mean * Math.PI / 180),
    up: (north - south) * metresPerDegree,
  };
}

// Metres on the ground a pixel takes at the latitude, at a scale of pixels
// per world unit.
export const metresPerPixel = (latitude, scale, radius) =>
  2 * Math.PI * radius * Math.cos(latitude * Math.PI / 180) / scale;

// 1, 2 or 5 times a power of ten: the largest not above the value, or with
// up set, the smallest not below it.
export function roundStep(value, up = false) {
  const power = 10 ** Math.floor(Math.log10(value));
  const steps = [1, 2, 5, 10].map((m) => m * power);
  return up ? steps.find((step) => step >= value * (1 - 1e-9)) :
    steps.reverse().find((step) => step <= value * (1 + 1e-9));
}

const decimalsOf = (step) => Math.max(0, -Math.floor(Math.log10(step) + 1e-9));

// Tics a round step apart between low and high, about every 100 pixels of
// the given length, and the decimals their labels take.
export function tics(low, high, pixels) {
  const step = roundStep(Math.max((high - low) / Math.max(1, Math.floor(pixels / 100)), 1e-8), true);
  const values = [];
  for (let value = Math.ceil(low / step) * step; value <= high + step * 1e-9; value += step) {
    values.push(value);
  }
  return { values, decimals: decimalsOf(step) };
}

const whole = new Intl.NumberFormat("en").format;
const kilometres = new Intl.NumberFormat("en", { maximumFractionDigits: 2 }).format;

// A length in metres in words: "4.4 km", "980 m", "3 cm", "2 mm".
export function distance(metres) {
  if (metres === 0) return "0 m";
  if (metres >= 1000) return `${kilometres(metres / 1000)} km`;
  if (metres >= 1) return `${whole(Math.round(metres))} m`;
  if (metres >= 0.01) return `${Math.round(metres * 100)} cm`;
  return `${Math.round(metres * 1000)} mm`;
}
