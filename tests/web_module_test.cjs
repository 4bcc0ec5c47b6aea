// Converts a few hundred random track-tail files with the WebAssembly module
// inlined in the built web page and with the console program, in a fresh
// folder each, and compares the CSV bytes: the two builds of the same code
// must not differ, in the number format least of all.
//
//   node web_module_test.cjs trb2csv.html PROGRAM [FILES]
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");

const [page, programName, files = "400"] = process.argv.slice(2);
const program = path.resolve(programName);
const base64 = /const MODULE = "([^"]*)"/.exec(fs.readFileSync(page, "latin1"))[1];
const wasm = new WebAssembly.Module(Buffer.from(base64, "base64"));
const c = new WebAssembly.Instance(wasm, {}).exports;

// A fixed sequence (xorshift), so that a failure can be reproduced.
let state = 0x2545f491;
function random() {
  state ^= state << 13;
  state ^= state >>> 17;
  state ^= state << 5;
  return (state >>> 0) / 4294967296;
}
const pick = (items) => items[Math.floor(random() * items.length)];

// Coordinates of every kind: plain ones, exact halves of the sixth decimal,
// values beside the points where it turns, the range bounds, and raw bits.
function coordinate(view, offset) {
  const kind = Math.floor(random() * 6);
  if (kind === 5) {
    for (let i = 0; i < 8; ++i) view.setUint8(offset + i, Math.floor(random() * 256));
    return;
  }
  let value = [
    () => (random() - 0.5) * 720,
    () => (Math.floor(random() * 92160) - 46080 + 0.5) / 128,
    () => (Math.floor((random() - 0.5) * 720e6) + 0.5) / 1e6,
    () => pick([360, -360, 90, -90, 180, -180, 0, -0, NaN, Infinity, 1e300, 5e-324]),
    () => (random() - 0.5) * 1e-5,
  ][kind]();
  if (kind === 2 && random() < 0.5) {
    // A neighbour of the nearest double: one unit of the last place away.
    const bits = new DataView(new ArrayBuffer(8));
    bits.setFloat64(0, value);
    bits.setBigUint64(0, bits.getBigUint64(0) + (random() < 0.5 ? 1n : -1n));
    value = bits.getFloat64(0);
  }
  view.setFloat64(offset, value, true);
}

// The layout, as the module's track_tail_format.h has it: the point count
// just before the body, latitude and longitude at the start of a record.
const BODY = c.body_offset();
const RECORD = c.record_size();
const MAX_RECORDS = c.max_records();

function randomFile() {
  const records = pick([0, 1, 2, 5, 40, MAX_RECORDS, MAX_RECORDS + 1,
                        Math.floor(random() * (MAX_RECORDS + 35))]);
  const size = Math.max(0, BODY + records * RECORD +
                           pick([0, 0, 0, 7, 15, -1, -150, -BODY, RECORD - 1]));
  const view = new DataView(new ArrayBuffer(size));
  for (let offset = BODY; offset + 16 <= size; offset += RECORD) {
    coordinate(view, offset);
    coordinate(view, offset + 8);
  }
  if (size >= BODY) {
    view.setInt32(BODY - 4, pick([records, records, 0, -1, 2147483647, -2147483648,
                                  Math.floor(random() * 2000)]), true);
  }
  return new Uint8Array(view.buffer);
}

const folder = fs.mkdtempSync(path.join(os.tmpdir(), "trb2csv-web-"));
let differences = 0;
try {
  for (let n = 0; n < Number(files); ++n) {
    const file = randomFile();
    fs.rmSync(path.join(folder, "KeloTrackTail.csv"), { force: true });
    fs.writeFileSync(path.join(folder, "ceTrackTail.trb"), file);
    const run = spawnSync(program, ["-quiet"],
      { cwd: folder, stdio: ["ignore", "ignore", "pipe"], encoding: "latin1", timeout: 10000 });
    if (run.status === null) throw new Error(`trb2csv failed or hung on file ${n}: ${run.error}`);
    const csvPath = path.join(folder, "KeloTrackTail.csv");
    const native = fs.existsSync(csvPath) ? fs.readFileSync(csvPath) : null;

    const head = file.subarray(0, c.input_capacity());
    new Uint8Array(c.memory.buffer, c.input(), head.length).set(head);
    c.convert(head.length, file.length);
    const size = c.write_csv();
    const web = size > 0 ? Buffer.from(new Uint8Array(c.memory.buffer, c.csv(), size)) : null;
    // The warning of a file that does not look like a track, where trb2csv writes one.
    const warned = /does not look like a track-tail file: (.*)\n/.exec(run.stderr);
    const doubts = web === null ? null : Buffer.from(new Uint8Array(c.memory.buffer, c.doubts(),
                                                                     c.doubts_size())).toString();
    const problem = (native === null ? web !== null : web === null || !native.equals(web)) ?
      "the CSV texts differ" :
      web !== null && (warned ? warned[1] : "") !== doubts ? "the warnings differ" : null;
    if (problem) {
      fs.writeFileSync(path.join(os.tmpdir(), `trb2csv-web-difference-${n}.trb`), file);
      console.log(`FAIL: file ${n} (${file.length} bytes): ${problem}`);
      ++differences;
    }
  }
} finally {
  fs.rmSync(folder, { recursive: true, force: true });
}
if (differences > 0) process.exit(1);
console.log(`web module: the same CSV and warnings as trb2csv for all ${files} files`);
