// The bridge to trb2csv's own C++ code, compiled to WebAssembly (MODULE,
// base64): it converts one file at a time in the module's memory, and this
// copies out what the page shows; what it saves is written when it is saved,
// from the file's bytes again. The module holds every rule of the formats;
// nothing here writes one again. MODULE is the page's.

export const converter = WebAssembly.instantiate(
  Uint8Array.from(atob(MODULE), (c) => c.charCodeAt(0))).then((result) => result.instance.exports);

export const encoder = new TextEncoder();
const decoder = new TextDecoder();
export const count = new Intl.NumberFormat("en").format;

function moduleBytes(c, pointer, size) {
  return new Uint8Array(c.memory.buffer, pointer, size).slice();
}

// The map formats as the module names them, with their documents' parts.
export function mapFormats(c) {
  const bytes = (f, part) => moduleBytes(c, c.map_part(f, part), c.map_part_size(f, part));
  const text = (f, part) => decoder.decode(bytes(f, part));
  return Array.from({ length: c.map_formats() }, (_, f) => ({
    name: text(f, c.part_name()),
    extension: text(f, c.part_extension()),
    type: text(f, c.part_media_type()),
    head: bytes(f, c.part_head()),
    separator: bytes(f, c.part_separator()),
    tail: bytes(f, c.part_tail()),
  }));
}

// The text cut at a character boundary to at most the given bytes of UTF-8.
export function cutToBytes(text, bytes) {
  let cut = "";
  for (const character of text) {
    if (encoder.encode(cut + character).length > bytes) break;
    cut += character;
  }
  return cut;
}

// Reads the part of the file that the converter takes; the file's bytes, or
// the reason they could not be read.
export async function readTrackFile(c, file) {
  try {
    return { head: new Uint8Array(await file.slice(0, c.input_capacity()).arrayBuffer()) };
  } catch (error) {
    return { error: `This file could not be read: ${error.message}` };
  }
}

// Converts the bytes read of a file in the module, its map tracks named
// trackName.
function load(c, file, head, trackName) {
  const memory = new Uint8Array(c.memory.buffer);
  const name = encoder.encode(cutToBytes(trackName, c.name_capacity()));
  memory.set(name, c.name());
  memory[c.name() + name.length] = 0;
  memory.set(head, c.input());
  c.convert(head.length, file.size);
}

// What the page shows of a file: its counts, its points on the earth and
// its warnings, or why it could not be read.
export function convertTrack(c, file, read, trackName) {
  const track = { file, trackName, warnings: [] };
  if (read.error) {
    track.error = read.error;
    return track;
  }
  load(c, file, read.head, trackName);
  Object.assign(track, {
    head: read.head,
    loaded: c.loaded_byte_count(),
    header: c.header_point_count(),
    walked: c.records_walked(),
    lines: c.csv_lines(),
    points: new Float64Array(c.memory.buffer, c.points(), 2 * c.point_count()).slice(),
    longitudes: new Float64Array(c.memory.buffer, c.unwrapped_longitudes(), c.point_count()).slice(),
    length: c.track_length(),
    doubts: decoder.decode(moduleBytes(c, c.doubts(), c.doubts_size())),
  });
  track.warnings = warningsFor(c, track);
  return track;
}

// The CSV bytes of a converted track.
export function csvOf(c, t) {
  load(c, t.file, t.head, t.trackName);
  return moduleBytes(c, c.csv(), c.write_csv());
}

// The track in map format f; empty without a point on the earth.
export function mapTrackOf(c, t, f) {
  load(c, t.file, t.head, t.trackName);
  return moduleBytes(c, c.map_track(), c.write_map(f));
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
  } else if (t.points.length === 0) {
    warnings.push("None of its points is a position on the earth (latitude within ±90°, " +
      "longitude within ±180°), so nothing of it is drawn or saved as a map track.");
  }
  if (t.loaded === c.load_limit()) {
    warnings.push(`The records take ${count(c.load_limit())} bytes or more, more than trb2csv ` +
      `reads: only the first ${count(c.max_records())} records are taken, as the console ` +
      "program does after its notice \"ceTrackTail too big to read into memory buffer\".");
  }
  return warnings;
}
