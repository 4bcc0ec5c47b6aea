#!/usr/bin/python3
"""Drives the built web page in headless Chromium, opened from file://, as
named scenarios: files of every kind and what is saved of them (the CSV
against trb2csv's, GPX and KML read back by GPSBabel and checked against the
rules of GPX 1.1 and KML, GeoJSON parsed), several tracks and tracks of one
name, picks that overtake slow reads, the antimeridian, zoom and pan with the
wheel, keys and fingers, a phone's width, the palette in light and dark mode,
the map with tiles served by the browser's request interception, axe-core's
accessibility rules, and no request while the map is off. Saves screenshots
at 1,280 and 390 px and the page's time to result for each pick, which it
prints and does not judge.

  web_test.py trb2csv.html PROGRAM WRITE_TRACK SAMPLE.trb SCREENSHOT.png TIMES.txt [AXE.js]
"""
import base64
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
import xml.etree.ElementTree as ElementTree
import zlib

import websocket
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import headless_chromium  # noqa: E402

page, program, write_track, sample, screenshot, times_file = (
    os.path.abspath(a) for a in sys.argv[1:7])
axe_script = sys.argv[7] if len(sys.argv) > 7 and os.path.exists(sys.argv[7]) else None
sys.stdout.reconfigure(line_buffering=True)  # a line per scenario as it ends
work = tempfile.mkdtemp(prefix="trb2csv-web-test-")
downloads = os.path.join(work, "downloads")
os.mkdir(downloads)
failures = []
times = []
TILES = "https://tile.openstreetmap.org/"


def fail(message):
    print("FAIL:", message)
    failures.append(message)


def track_file(count, points, zeros=0):
    """A track-tail file's bytes, as the tools' track writer makes them."""
    path = os.path.join(work, "written.trb")
    subprocess.run([write_track, path, str(count)] + [f"{lat!r},{lon!r}" for lat, lon in points] +
                   [f"+{zeros}"], check=True)
    with open(path, "rb") as f:
        return f.read()


def native_csv(data):
    """The CSV that trb2csv writes for the file, or None if it writes none."""
    folder = tempfile.mkdtemp(dir=work)
    with open(os.path.join(folder, "ceTrackTail.trb"), "wb") as f:
        f.write(data)
    subprocess.run([program, "-quiet"], cwd=folder, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10, check=False)
    csv = os.path.join(folder, "KeloTrackTail.csv")
    return open(csv, "rb").read() if os.path.exists(csv) else None


def gpsbabel(kind, path, output, what="-t"):
    return subprocess.run(["gpsbabel", what, "-i", kind, "-f", path, "-o", output, "-F", "-"],
                          capture_output=True, text=True, timeout=30, check=True).stdout


def gpsbabel_points(kind, path, what="-t"):
    """The points GPSBabel reads from a GPX or KML file, as (lat, lon) text:
    those of tracks, or with what "-w", of waypoints."""
    rows = [line.split(",") for line in gpsbabel(kind, path, "unicsv", what).splitlines()[1:]]
    return [(row[1], row[2]) for row in rows]


def gpsbabel_track_names(kind, path):
    return re.findall(r"<trk>\s*<name>(.*?)</name>", gpsbabel(kind, path, "gpx"))


def map_file_problems(kind, data):
    """What makes a saved map file wrong for its readers: XML 1.0 that does not
    parse, GPX 1.1's ranges (-90 <= lat <= 90, -180 <= lon < 180), a KML line of
    fewer than two positions, GeoJSON that does not parse or a line that jumps
    across the antimeridian instead of being cut there (RFC 7946 3.1.9)."""
    try:
        if kind == "geojson":
            for feature in json.loads(data)["features"]:
                geometry = feature["geometry"]
                lines = {"LineString": [geometry["coordinates"]], "Point": [],
                         "MultiLineString": geometry["coordinates"]}[geometry["type"]]
                for line in lines:
                    if len(line) < 2 or any(abs(b[0] - a[0]) > 180 for a, b in zip(line, line[1:])):
                        return f"a GeoJSON line of {len(line)} positions, or across the antimeridian"
            return None
        root = ElementTree.fromstring(data)
    except (ValueError, KeyError, ElementTree.ParseError) as error:
        return f"does not parse: {error}"
    space = {"g": "http://www.topografix.com/GPX/1/1", "k": "http://www.opengis.net/kml/2.2"}
    if kind == "gpx":
        for point in root.iterfind(".//g:trkpt", space):
            lat, lon = float(point.get("lat")), float(point.get("lon"))
            if not (-90 <= lat <= 90 and -180 <= lon < 180):
                return f"a GPX point at {lat}, {lon}"
    else:
        for line in root.iterfind(".//k:LineString/k:coordinates", space):
            if len(line.text.split()) < 2:
                return "a KML line string of fewer than two positions"
    return None


def png(width, height, rgb):
    """A PNG picture of one colour, for the tiles the interception serves."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class TileInterception:
    """Answers the page's requests for map tiles inside the browser (the Fetch
    domain of the DevTools protocol, on a connection of its own): a fixture
    tile, or a failure for the tiles whose address holds `failing`. Records
    every tile asked for."""

    def __init__(self, driver, failing="/0/0/0.", refusing=None):
        address = driver.capabilities["goog:chromeOptions"]["debuggerAddress"]
        targets = json.load(urllib.request.urlopen(f"http://{address}/json", timeout=10))
        target = next(t for t in targets if t["id"] == driver.current_window_handle)
        self.socket = websocket.create_connection(target["webSocketDebuggerUrl"], timeout=10,
                                                  suppress_origin=True)
        self.requested = []
        self.failing = failing
        self.refusing = refusing
        self.tile = base64.b64encode(png(256, 256, (200, 220, 200))).decode()
        self.lock = threading.Lock()
        self.send("Fetch.enable", {"patterns": [{"urlPattern": "https://*", "requestStage": "Request"}]})
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def send(self, method, params):
        with self.lock:
            self.socket.send(json.dumps({"id": 1, "method": method, "params": params}))

    def serve(self):
        while True:
            try:
                message = json.loads(self.socket.recv())
            except (websocket.WebSocketException, OSError, ValueError):
                return
            if message.get("method") != "Fetch.requestPaused":
                continue
            request = message["params"]
            self.requested.append(request["request"]["url"])
            url = request["request"]["url"]
            if self.failing and self.failing in url or not url.startswith(TILES):
                self.send("Fetch.failRequest", {"requestId": request["requestId"], "errorReason": "Failed"})
            else:
                # Refused as OpenStreetMap refuses a request without Referer:
                # an error picture with status 403.
                self.send("Fetch.fulfillRequest", {
                    "requestId": request["requestId"], "body": self.tile,
                    "responseCode": 403 if self.refusing and self.refusing in url else 200,
                    "responseHeaders": [{"name": "Content-Type", "value": "image/png"},
                                        {"name": "Access-Control-Allow-Origin", "value": "*"}]})

    def close(self):
        self.socket.close()


class Page:
    """The page in a fresh tab of the one browser, and what a user does with
    it. The tab before it is closed: a scenario starts with nothing of the one
    before (the page stores nothing, and emulation belongs to the tab)."""

    def __init__(self, driver, width=1280, height=800, mobile=False):
        self.driver = driver
        previous = driver.current_window_handle
        driver.switch_to.new_window("tab")
        tab = driver.current_window_handle
        driver.switch_to.window(previous)
        driver.close()
        driver.switch_to.window(tab)
        driver.get_log("performance")  # what the tabs before asked for
        # Downloads go where the saves are read, as set for this tab's session.
        driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": downloads})
        self.wait = WebDriverWait(self.driver, 20)
        self.resize(width, height, mobile)
        self.driver.get("file://" + page)
        self.runs = 0

    def resize(self, width, height, mobile=False):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def element(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def elements(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def shown(self):
        self.runs += 1
        self.wait.until(lambda d: d.find_element(By.ID, "elapsed").get_attribute("data-run") == str(self.runs))

    def pick(self, *named_bytes, folder=None):
        """Picks the files at once and waits for the page's result."""
        paths = []
        for name, data in named_bytes:
            paths.append(os.path.join(folder or work, name))
            with open(paths[-1], "wb") as f:
                f.write(data)
        self.element("#file").send_keys("\n".join(paths))
        self.shown()
        times.append(f"{', '.join(name for name, _ in named_bytes)}: result and drawing in "
                     f"{self.element('#elapsed').get_attribute('textContent')} ms")
        return self.elements(".track-result")

    def polylines(self):
        return self.elements("#drawing polyline.track-line")

    def view(self):
        """Where the lines are drawn: their group's transform."""
        return self.polylines()[0].find_element(By.XPATH, "..").get_attribute("transform")

    def saved(self, button, name, whole):
        """Clicks the save button and returns the bytes of the file it saves as
        name, once whole(bytes) holds for them, or what it holds after 20 s.
        With name None, the file may have any name (Chromium replaces control
        characters in names)."""
        for old in os.listdir(downloads):
            os.remove(os.path.join(downloads, old))
        button.click()

        def read():
            names = [n for n in os.listdir(downloads) if not n.endswith(".crdownload")]
            if name is not None:
                names = [n for n in names if n == name]
            try:
                with open(os.path.join(downloads, names[0]), "rb") as f:
                    return f.read()
            except (OSError, IndexError):
                return None
        try:
            self.wait.until(lambda _: (lambda data: data is not None and whole(data))(read()))
        except TimeoutException:
            pass
        return read() or b""

    def accessible(self, case):
        if not axe_script:
            return
        with open(axe_script) as f:
            self.js(f.read())
        result = self.driver.execute_async_script(
            "const done = arguments[0]; axe.run(document).then((r) => done(r.violations))")
        for violation in result:
            fail(f"{case}: axe-core: {violation['id']}: {violation['help']} "
                 f"({len(violation['nodes'])} nodes, the first {violation['nodes'][0]['target']}: "
                 f"{violation['nodes'][0].get('failureSummary', '')})")

    def save_picture(self, path):
        """A picture of the whole page, below the window too."""
        self.js("document.activeElement.blur()")
        shot = self.driver.execute_cdp_cmd("Page.captureScreenshot", {"captureBeyondViewport": True})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def where(self, latitude, longitude):
        return self.js("return drawing.pixelOf(arguments[0], arguments[1])", latitude, longitude)


with open(sample, "rb") as f:
    sample_bytes = f.read()
# Records out of range (400, NaN), one in range but not on the earth (100),
# and a point count larger than the records.
crafted = track_file(10, [(1.0, 2.0), (400.0, 0.0), (100.0, 10.0), (float("nan"), 0.0),
                          (-33.5, 151.25), (0.0078125, -0.0078125)])
at_limit = track_file(2**31 - 1, [(47.5 + i * 1e-4, 8.5 + i * 2e-4) for i in range(1365)], 15)
# A picture: a PNG signature and bytes that are no track.
state = 1
picture = bytearray(b"\x89PNG\r\n\x1a\n")
for _ in range(6000):
    state = (state * 1103515245 + 12345) % 2**31
    picture.append(state >> 16 & 0xFF)
# Across the date line, 21.9 km, its last point on the meridian of 180.
across = track_file(3, [(10.0, 179.9), (10.0, -179.9), (10.0, 180.0)])
NOT_A_TRACK = "does not look like a track-tail file"
scenarios = []


def scenario(function):
    scenarios.append(function)
    return function


@scenario
def files_of_every_kind(p):
    """Each file's counts, warnings and drawing, and every save of it."""
    cases = [
        # name, bytes, warning, header count, walked, lines, left out, drawn
        ("ceTrackTail.trb", sample_bytes, "", "360", "360", "360", "0", 360),
        ("crafted track.trb", crafted, NOT_A_TRACK, "10", "6", "4", "2", 3),
        ("limit.trb", at_limit, "only the first 1,365 records", "2,147,483,647", "1,365", "1,365",
         "0", 1365),
        ("photo.png", bytes(picture), NOT_A_TRACK, None, None, None, None, None),
        ("hundred.bin", bytes(range(100)), "holds no track point", None, None, None, None, 0),
        ("off the earth.trb", track_file(2, [(100.0, 1.0), (100.0, 2.0)]), "position on the earth",
         "2", "2", "2", "0", 0),
        ("ctl\x01.trb", track_file(2, [(1.0, 2.0), (1.5, 2.5)]), "", "2", "2", "2", "0", 2),
    ]
    for name, data, warning, header, walked, lines, left_out, drawn in cases:
        [result] = p.pick((name, data))
        case = repr(name)
        warnings = " ".join(w.text for w in result.find_elements(By.CLASS_NAME, "warning"))
        if result.find_element(By.TAG_NAME, "h3").text != name:
            fail(f"{case}: shows the name {result.find_element(By.TAG_NAME, 'h3').text!r}")
        if warning not in warnings or (not warning and warnings):
            fail(f"{case}: warnings {warnings!r}")
        native = native_csv(data)
        if header is not None:
            counts = tuple(result.find_element(By.CLASS_NAME, kind).text for kind in
                           ["header-count", "records-walked", "lines-written", "left-out"])
            if counts != (header, walked, lines, left_out):
                fail(f"{case}: counts {counts}")
        if drawn is not None:
            points = [len(line.get_attribute("points").split()) for line in p.polylines()]
            if points != ([drawn] if drawn else []) or p.element("#track").is_displayed() != bool(drawn):
                fail(f"{case}: drawn {points}, not {drawn} points")
        if not result.find_elements(By.CLASS_NAME, "counts"):
            continue
        base = name.rsplit(".", 1)[0]
        saved_name = None if "\x01" in name else base  # Chromium replaces control characters
        for kind, csv_name in [("default", "KeloTrackTail.csv"), ("named", saved_name and base + ".csv")]:
            button = result.find_element(By.CLASS_NAME, f"save-{kind}")
            if native is None:
                if button.is_enabled() or "writes no CSV file" not in warnings:
                    fail(f"{case}: trb2csv writes no CSV, but the page offers {button.text!r}")
            elif p.saved(button, csv_name, lambda data: data == native) != native:
                fail(f"{case}: the CSV saved as {csv_name} is not trb2csv's")
        for kind, end in [("gpx", b"</gpx>"), ("kml", b"</kml>"), ("geojson", b"]}")]:
            button = result.find_element(By.CLASS_NAME, f"save-{kind}")
            if button.is_enabled() != bool(drawn):
                fail(f"{case}: Save as {kind} is {'en' if button.is_enabled() else 'dis'}abled")
            if not drawn:
                continue
            path = os.path.join(work, "read." + kind)
            data = p.saved(button, saved_name and f"{base}.{kind}",
                           lambda d, end=end: d.rstrip().endswith(end))
            with open(path, "wb") as f:
                f.write(data)
            problem = map_file_problems(kind, data)
            if problem:
                fail(f"{case}: the {kind}: {problem}")
            if kind == "geojson":
                continue
            first = [line.split(" , ")[:2] for line in native.decode().splitlines()
                     if abs(float(line.split(" , ")[0])) <= 90 and abs(float(line.split(" , ")[1])) <= 180][0]
            read = gpsbabel_points(kind, path)
            if len(read) != drawn or [float(v) for v in read[0]] != [float(v) for v in first]:
                fail(f"{case}: GPSBabel reads {len(read)} points from the {kind}, first {read[:1]}, "
                     f"not {drawn} from {first}")
            if gpsbabel_track_names(kind, path) != [base.replace("\x01", "\ufffd")]:
                fail(f"{case}: the {kind} track is named {gpsbabel_track_names(kind, path)}")
        if name == "ceTrackTail.trb":
            p.accessible("the sample")
            p.save_picture(screenshot)

    # A long name in two-byte characters: the saved names fit 255 bytes with
    # Chromium's ".crdownload", cut at a character boundary.
    [long_name] = p.pick(("ä" * 125 + ".trb", sample_bytes))
    fitted = "ä" * 118 + ".geojson"
    if not p.saved(long_name.find_element(By.CLASS_NAME, "save-geojson"), fitted, lambda d: d):
        fail(f"a name of {len(('ä' * 125).encode())} bytes: nothing saved as {fitted}")


@scenario
def picked_again_and_unreadable(p):
    """A file rewritten since it was picked is read again; one that cannot be
    read says why, and nothing of the files before stays."""
    p.pick(("again.trb", track_file(1, [(1.0, 2.0)])))
    [again] = p.pick(("again.trb", track_file(2, [(1.0, 2.0), (3.0, 4.0)])))
    if again.find_element(By.CLASS_NAME, "lines-written").text != "2":
        fail("a file picked again after a change is not read again")
    p.js("""
        const gone = { name: "gone.trb", size: 300, lastModified: 0, slice: () => ({ arrayBuffer: () =>
          Promise.reject(new DOMException("it changed after it was picked", "NotReadableError")) }) };
        const drop = new Event("drop", { cancelable: true });
        drop.dataTransfer = { files: [gone] };
        document.dispatchEvent(drop);""")
    p.shown()
    results = p.elements(".track-result")
    if len(results) != 1 or "could not be read: it changed" not in results[0].text or p.polylines():
        fail(f"an unreadable file: {[r.text for r in results]}, {len(p.polylines())} polylines")


@scenario
def a_new_drop_overtakes_slow_reads(p):
    """Ten files read slowly, then one at once: the one is shown, alone,
    however long the ten take."""
    p.js("""
        const sample = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
        const reads = [];
        const file = (name, delay) => ({ name, size: sample.length, lastModified: 0,
          slice: () => ({ arrayBuffer: () => {
            reads.push(new Promise((done) => setTimeout(() => done(sample.buffer.slice(0)), delay)));
            return reads[reads.length - 1];
          } }) });
        const drop = (files) => {
          const event = new Event("drop", { cancelable: true });
          event.dataTransfer = { files };
          document.dispatchEvent(event);
        };
        drop(Array.from({ length: 10 }, (_, i) => file(`slow ${i}.trb`, 400 + 50 * i)));
        drop([file("fast.trb", 0)]);
        // Every read done, and what the page does after them: called once the
        // page's result shows, when every read has begun.
        window.slowReadsDone = () =>
          Promise.all(reads).then(() => new Promise((done) => setTimeout(done)));""",
         base64.b64encode(sample_bytes).decode())
    p.shown()
    p.driver.execute_async_script("window.slowReadsDone().then(arguments[0])")
    names = [r.find_element(By.TAG_NAME, "h3").text for r in p.elements(".track-result")]
    if names != ["fast.trb"] or len(p.polylines()) != 1 or \
            p.element("#elapsed").get_attribute("data-run") != str(p.runs):
        fail(f"a drop while ten files were read shows {names}, {len(p.polylines())} lines")


@scenario
def several_tracks_and_equal_names(p):
    """Three tracks listed, drawn with a legend and saved as one; three files of
    one name told apart by a number and their date."""
    off = track_file(1, [(100.0, 1.0)])
    three = [("walk one.trb", sample_bytes), ("a & b.trb", crafted), ("off.trb", off),
             ("limit.trb", at_limit)]
    results = p.pick(*three)
    legend = p.elements("#legend li")
    if len(results) != 4 or len(legend) != 3 or len(p.polylines()) != 3:
        fail(f"four files: {len(results)} listed, {len(legend)} in the legend, "
             f"{len(p.polylines())} drawn")
    said = p.element("#announcement").get_attribute("textContent")
    if said != "4 tracks, 2 not track-tail files, 1 without a point on the earth":
        fail(f"four files: a screen reader is told {said!r}")
    gpx_button = p.element(".save-all-gpx")
    if gpx_button.text != "Save all 3 tracks as one GPX":
        fail(f"Save all says {gpx_button.text!r}")
    path = os.path.join(work, "all.gpx")
    with open(path, "wb") as f:
        f.write(p.saved(gpx_button, "tracks.gpx", lambda data: data.rstrip().endswith(b"</gpx>")))
    if gpsbabel_track_names("gpx", path) != ["walk one", "a &amp; b", "limit"]:
        fail(f"Save all: GPSBabel reads the tracks {gpsbabel_track_names('gpx', path)}")
    path = os.path.join(work, "all.kml")
    with open(path, "wb") as f:
        f.write(p.saved(p.element(".save-all-kml"), "tracks.kml", lambda d: d.rstrip().endswith(b"</kml>")))
    if len(gpsbabel_points("kml", path)) != 360 + 3 + 1365:
        fail(f"Save all: GPSBabel reads {len(gpsbabel_points('kml', path))} points from the KML")
    try:
        geojson = json.loads(p.saved(p.element(".save-all-geojson"), "tracks.geojson",
                                     lambda data: data.rstrip().endswith(b"]}")))
        features = geojson["features"]
        if [f["properties"]["name"] for f in features] != ["walk one", "a & b", "limit"] or \
                [len(f["geometry"]["coordinates"]) for f in features] != [360, 3, 1365]:
            fail(f"Save all: GeoJSON {str(geojson)[:300]}")
    except (ValueError, KeyError, IndexError) as error:
        fail(f"Save all: no GeoJSON FeatureCollection: {error!r}")
    p.accessible("several tracks")

    p.pick(("off.trb", off), ("off 2.trb", off))
    if p.element(".save-all-gpx").is_enabled():
        fail("Save all is enabled for files without a point on the earth")

    folders = []
    for i, day in enumerate([17, 18, 18]):
        folders.append(os.path.join(work, f"device {i}"))
        os.makedirs(folders[-1], exist_ok=True)
        path = os.path.join(folders[-1], "ceTrackTail.trb")
        with open(path, "wb") as f:
            f.write(track_file(1, [(53.5 + i, 10.0)]))
        os.utime(path, (0, 1242604800 + (day - 18) * 86400 + 3600))  # May 2009
    p.element("#file").send_keys("\n".join(os.path.join(f, "ceTrackTail.trb") for f in folders))
    p.shown()
    names = [r.find_element(By.TAG_NAME, "h3").text for r in p.elements(".track-result")]
    expected = [f"ceTrackTail.trb ({i + 1}), {day} May 2009" for i, day in enumerate([17, 18, 18])]
    if names != expected or [li.text.split(":")[0] for li in p.elements("#legend li")] != expected:
        fail(f"three files of one name are shown as {names}")
    path = os.path.join(work, "same.gpx")
    with open(path, "wb") as f:
        f.write(p.saved(p.element(".save-all-gpx"), "tracks.gpx", lambda d: d.rstrip().endswith(b"</gpx>")))
    if gpsbabel_track_names("gpx", path) != [n.replace(".trb", "") for n in expected]:
        fail(f"three tracks of one name are saved as {gpsbabel_track_names('gpx', path)}")
    # Each saved under the number the page shows, also under the console's name.
    second = p.elements(".track-result")[1]
    for kind, name, end in [("gpx", "ceTrackTail (2).gpx", b"</gpx>\n"),
                            ("default", "KeloTrackTail (2).csv", b"\r\n")]:
        if not p.saved(second.find_element(By.CLASS_NAME, f"save-{kind}"), name,
                       lambda d, end=end: d.endswith(end) and b"54.5" in d):
            fail(f"the second of three files of one name is not saved as {name}")

    # Names in isolates of their own: one with an unclosed right-to-left
    # override turns no other text around it, nor the buttons' names.
    p.pick(("walk\u202e.trb", sample_bytes), ("other.trb", sample_bytes))
    for where in ["#legend li", "#drawing-summary", ".track-result h3", ".track-result .save-named"]:
        names = p.js("return [...document.querySelectorAll(arguments[0])].map(e => "
                     "[...e.querySelectorAll('bdi')].map(b => b.textContent).join('|'))", where)
        if not names or not names[0].startswith("walk\u202e"):
            fail(f"{where}: the names are not isolated: {names}")
    # The save buttons of each track name it, for a screen reader.
    labels = p.js("return [...document.querySelectorAll('.track-result .save-gpx')].map(b => b.textContent)")
    if labels != ["Save as GPX of walk\u202e.trb", "Save as GPX of other.trb"]:
        fail(f"the save buttons do not name their tracks: {labels}")


@scenario
def across_the_antimeridian(p):
    """Drawn the short way, measured the short way, cut in GeoJSON, and the
    meridian of 180 as -180 in GPX."""
    [result] = p.pick(("date line.trb", across))
    drawn = p.js("return document.querySelector('#drawing polyline.track-line').getBoundingClientRect().width")
    summary = p.element("#drawing-summary").text
    if drawn > p.js("return drawing.layout.plotWidth") or "22 km from west to east" not in summary:
        fail(f"across the date line: drawn {drawn:.0f} px wide; {summary}")
    for kind, end in [("gpx", b"</gpx>"), ("geojson", b"]}")]:
        data = p.saved(result.find_element(By.CLASS_NAME, f"save-{kind}"), f"date line.{kind}",
                       lambda d, end=end: d.rstrip().endswith(end))
        problem = map_file_problems(kind, data)
        if problem or (kind == "geojson" and b"MultiLineString" not in data):
            fail(f"across the date line: the {kind}: {problem or data[:200]}")
    # Two walks 11 km apart on both sides of it are drawn side by side.
    p.pick(("west.trb", track_file(2, [(10.0, -179.95), (10.01, -179.951)])),
           ("east.trb", track_file(2, [(10.0, 179.95), (10.01, 179.951)])))
    bar = p.element("#drawing .scale-label").text
    if not re.match(r"^\d+ (m|km)$", bar) or (bar.endswith(" km") and int(bar.split()[0]) > 20):
        fail(f"walks on both sides of the date line: a scale bar of {bar}")


@scenario
def one_point(p):
    """A track of one point: a KML point, and no scale bar without a length."""
    [result] = p.pick(("one.trb", track_file(1, [(53.5, 10.0)])))
    data = p.saved(result.find_element(By.CLASS_NAME, "save-kml"), "one.kml",
                   lambda d: d.rstrip().endswith(b"</kml>"))
    if b"<Point>" not in data or b"LineString" in data:
        fail(f"one point: the KML is {data[-200:]}")
    path = os.path.join(work, "one.kml")
    with open(path, "wb") as f:
        f.write(data)
    if len(gpsbabel_points("kml", path, "-w")) != 1:
        fail("one point: GPSBabel does not read one point from the KML")
    if p.elements("#drawing .scale"):
        fail("one point: a scale bar")


@scenario
def zoom_pan_and_the_wheel(p):
    """Keys zoom and show all; the wheel scrolls the page unless Ctrl is held
    or the drawing selected; the point under the wheel stays put."""
    p.pick(("walk.trb", sample_bytes))
    drawing = p.element("#drawing")
    whole = p.view()
    drawing.send_keys("+")
    if p.view() == whole:
        fail("+ on the drawing does not zoom")
    drawing.send_keys("0")
    if p.view() != whole:
        fail("0 on the drawing does not show all again")

    def wheel(x, y, delta, modifiers=0):
        box = p.js("const b = drawing.layout; const r = document.getElementById('drawing')"
                   ".getBoundingClientRect(); return [r.left, r.top, r.width / b.width]")
        p.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
            "type": "mouseWheel", "x": box[0] + x * box[2], "y": box[1] + y * box[2],
            "deltaX": 0, "deltaY": delta, "modifiers": modifiers})
    p.js("document.activeElement.blur(); document.getElementById('drawing').scrollIntoView()")
    # Off the centre, so that a sign swapped in the anchor shows.
    corner = p.where(53.5585, 9.998)
    wheel(corner["x"], corner["y"], -300, modifiers=2)  # Ctrl
    after = p.where(53.5585, 9.998)
    zoomed = p.view()
    if zoomed == whole or abs(after["x"] - corner["x"]) > 1 or abs(after["y"] - corner["y"]) > 1:
        fail(f"Ctrl and the wheel: the point under it moved from {corner} to {after}")
    p.js("window.scrollTo(0, 0)")
    p.wait.until(lambda _: p.js("return window.scrollY") == 0)
    wheel(100, 100, 300)
    p.wait.until(lambda _: p.js("return window.scrollY") > 0)
    if p.view() != zoomed or \
            "Ctrl" not in p.element("#wheel-hint").get_attribute("textContent"):
        fail("the wheel over the drawing zooms without Ctrl, or says nothing")


@scenario
def fingers(p):
    """On a touch screen one finger scrolls the page and two move and zoom the
    drawing."""
    p.resize(390, 844, mobile=True)
    p.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    p.pick(("walk.trb", sample_bytes), ("walk 2.trb", sample_bytes))
    p.js("window.scrollTo(0, document.getElementById('drawing').getBoundingClientRect().top + "
         "window.scrollY - 100)")
    whole = p.view()
    box = p.js("const r = document.getElementById('drawing').getBoundingClientRect(); "
               "return [r.left + r.width / 2, r.top + r.height / 2]")
    touch = lambda kind, *points: p.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {  # noqa: E731
        "type": kind, "touchPoints": [{"x": x, "y": y, "id": i} for i, (x, y) in enumerate(points)]})
    before = p.js("return window.scrollY")
    touch("touchStart", (box[0], box[1]))
    for step in range(1, 6):
        touch("touchMove", (box[0], box[1] - 30 * step))
    touch("touchEnd")
    if p.view() != whole:
        fail("one finger moved the drawing")
    if p.js("return window.scrollY") <= before:
        fail("one finger on the drawing did not scroll the page")
    box = p.js("const r = document.getElementById('drawing').getBoundingClientRect(); "
               "return [r.left + r.width / 2, r.top + r.height / 2]")
    touch("touchStart", (box[0] - 20, box[1]), (box[0] + 20, box[1]))
    for step in range(1, 6):
        touch("touchMove", (box[0] - 20 - 15 * step, box[1]), (box[0] + 20 + 15 * step, box[1]))
    touch("touchEnd")
    if p.view() == whole:
        fail("two fingers did not zoom the drawing")


@scenario
def a_phone(p):
    """At 390 px the page is never wider than the screen, the drawing and its
    controls fit the window, labels are legible, and touch targets are 44 px."""
    p.resize(390, 844, mobile=True)
    p.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    p.driver.get("file://" + page)
    p.runs = 0
    p.accessible("the empty page at 390 px")
    long_name = "ceTrackTail_20240601_Alster_Rundweg_abends_Kopie.trb"
    p.pick((long_name, sample_bytes), ("x" * 240 + ".trb", sample_bytes))
    width = p.js("return document.documentElement.scrollWidth")
    drawing = p.js("return ['drawing', 'view-tools', 'view-controls'].reduce((sum, id) => sum + "
                   "document.getElementById(id).getBoundingClientRect().height, 0)")
    labels = p.js("return [...document.querySelectorAll('#drawing text')].map(t => t.getBoundingClientRect().height)")
    small = p.js("return [...document.querySelectorAll('button, .button, .switch, summary')]"
                 ".filter(b => b.offsetParent && b.getBoundingClientRect().height < 44).length")
    if width > 390 or drawing > 844 or not labels or min(labels) < 12 or small:
        fail(f"390 px: {width} px wide, drawing and controls {drawing:.0f} px high, labels "
             f"{labels[:3]} px, {small} targets under 44 px")
    p.pick(("ceTrackTail.trb", sample_bytes))
    p.accessible("390 px")
    p.save_picture(screenshot.replace(".png", "-phone.png"))
    p.resize(1280, 800)
    p.driver.get("file://" + page)
    p.runs = 0
    p.pick(("ceTrackTail.trb", sample_bytes))
    if p.js("return ['drawing', 'view-tools', 'view-controls'].reduce((sum, id) => sum + "
            "document.getElementById(id).getBoundingClientRect().height, 0)") > 800:
        fail("1,280 × 800: the drawing and its controls are higher than the window")


@scenario
def controls_beside_the_drawing(p):
    """Right after a pick of four tracks, the zoom buttons, Show all and the
    Map switch are in the window without scrolling, at 1,280 × 720 and on a
    390 × 844 phone; the buttons zoom, and a skip link leads to the drawing."""
    four = [(f"walk {i}.trb", sample_bytes) for i in range(4)]
    controls = "return ['zoom-in', 'zoom-out', 'reset-view', 'map-switch'].map(id => { const b = " \
               "document.getElementById(id).getBoundingClientRect(); " \
               "return b.top >= 0 && b.bottom <= innerHeight && b.height > 0; })"
    for width, height, mobile in [(1280, 720, False), (390, 844, True)]:
        p.resize(width, height, mobile)
        p.driver.get("file://" + page)
        p.runs = 0
        p.pick(*four)
        if p.js("return scrollY") != 0 or not all(p.js(controls)):
            fail(f"{width} × {height}: the controls are not all in the window: {p.js(controls)}")
    before = p.view()
    p.element("#zoom-in").click()
    zoomed = p.view()
    p.element("#zoom-out").click()
    p.element("#zoom-out").click()
    p.element("#reset-view").click()
    if zoomed == before or p.view() != before:
        fail(f"the zoom buttons: {before} → {zoomed} → {p.view()}")
    skip = p.element("#skip")
    if skip.get_attribute("hidden") is not None:
        fail("no skip link to the drawing")
    p.js("document.getElementById('skip').focus()")
    skip.send_keys("\n")
    if p.js("return document.activeElement.id") != "drawing":
        fail("the skip link does not lead to the drawing")


def luminance(colour):
    channels = [int(v) / 255 for v in re.findall(r"\d+", colour)[:3]]
    linear = [c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4 for c in channels]
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def contrast(a, b):
    high, low = sorted([luminance(a), luminance(b)], reverse=True)
    return (high + 0.05) / (low + 0.05)


@scenario
def colours_and_scale(p):
    """Twelve tracks differ in colour or dash, have 3:1 contrast in light and
    dark mode, and none has the marks' colour; the scale bar has a true
    length at every zoom, and no label is cut off."""
    tracks = [(f"t{i}.trb", track_file(2, [(53.5 + i * 0.01, 10.0), (53.5 + i * 0.01, 10.01)]))
              for i in range(12)]
    for scheme in ["light", "dark"]:
        p.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": scheme}]})
        p.pick(*tracks)
        styles = p.js("return [...document.querySelectorAll('#drawing polyline.track-line')].map("
                      "l => [getComputedStyle(l).stroke, l.getAttribute('stroke-dasharray') || ''])")
        page_colour = p.js("return getComputedStyle(document.getElementById('drawing')).backgroundColor")
        marks = p.js("return getComputedStyle(document.querySelector('#drawing .end')).fill")
        if len({tuple(s) for s in styles}) != 12:
            fail(f"{scheme}: twelve tracks in {len({tuple(s) for s in styles})} styles")
        for colour, _ in styles:
            if contrast(colour, page_colour) < 3 or colour == marks:
                fail(f"{scheme}: {colour} on {page_colour}: {contrast(colour, page_colour):.2f}:1")
        # The marks and their halo: one of them stands out from a light map
        # (OpenStreetMap's land), the other from the page.
        halo = p.js("return getComputedStyle(document.querySelector('#drawing .start-halo')).stroke")
        light_map = "rgb(242, 239, 233)"
        if contrast(marks, page_colour) < 3 or max(contrast(marks, light_map), contrast(halo, light_map)) < 3:
            fail(f"{scheme}: marks {marks} with a halo {halo}, on {page_colour} and on a light map")
        p.accessible(f"twelve tracks, {scheme}")
    p.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
    p.pick(("walk.trb", sample_bytes))
    drawing = p.element("#drawing")
    for _ in range(12):
        label = p.element("#drawing .scale-label").text
        if re.match(r"^0 (m|cm|mm)$", label) or not re.match(r"^\d+ (km|m|cm|mm)$", label):
            fail(f"a scale bar of {label!r}")
        clipped = p.js("const box = document.getElementById('drawing').getBoundingClientRect(); return "
                       "[...document.querySelectorAll('#drawing text')].filter(t => { const b = "
                       "t.getBoundingClientRect(); return b.left < box.left || b.right > box.right; })"
                       ".map(t => t.textContent)")
        if clipped or len(p.elements("#drawing text")) < 3:
            fail(f"labels cut off: {clipped}, or too few")
        for _ in range(4):
            drawing.send_keys("+")


@scenario
def the_map(p):
    """Off at load and making no request; on, the tiles of the sample's area,
    served here by the browser's interception, fetched and drawn under the
    tracks, with the attribution; a refusal (403 with a picture) and a
    failure draw no picture and are said beside the map, with the Referer
    that a page opened from a file lacks; an address that cannot be used is
    said; off again, no request."""
    tiles = TileInterception(p.driver)
    switch = p.element("#map-switch")
    pictures = "return [...document.querySelectorAll('#drawing image')]"
    try:
        p.pick(("walk.trb", sample_bytes))
        if switch.is_selected() or tiles.requested:
            fail(f"the map is on at load, or tiles were asked for: {tiles.requested[:3]}")
        switch.click()
        # Every picture in the drawing asked for, and drawn from its answer.
        shown = p.js(pictures + ".map(i => i.dataset.tile)")
        WebDriverWait(p.driver, 20).until(lambda _: shown and set(shown) <= set(tiles.requested) and
                                          p.js(pictures + ".every(i => i.href.baseVal.startsWith('blob:'))"))
        zooms = {int(url.split("/")[-3]) for url in tiles.requested}
        wanted = set()
        for latitude, longitude in [(53.558, 10.004), (53.573, 10.005), (53.565, 9.997)]:
            zoom = max(zooms)
            n = 2 ** zoom
            y = (1 - math.log(math.tan(math.pi / 4 + math.radians(latitude) / 2)) / math.pi) / 2
            wanted.add(f"{TILES}{zoom}/{int((longitude + 180) / 360 * n)}/{int(y * n)}.png")
        if len(zooms) != 1 or not 12 <= max(zooms) <= 19 or not wanted <= set(tiles.requested):
            fail(f"the map asked for {sorted(tiles.requested)[:6]}, not {sorted(wanted)}")
        link = p.element("#attribution a")
        if not link.is_displayed() or link.text != "OpenStreetMap contributors" or \
                link.get_attribute("href") != "https://www.openstreetmap.org/copyright":
            fail("the map without its attribution")
        p.accessible("the map")
        p.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": "dark"}]})
        p.accessible("the map, dark")
        p.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})

        # Refused, and then failing: no picture, the grid shows through, and
        # the page says why.
        for answer, words in [("refused", ["refused", "403", "Referer", "web server"]),
                              ("failed", ["could not be fetched"])]:
            switch.click()
            tiles.refusing, tiles.failing = ("/", None) if answer == "refused" else (None, "/")
            switch.click()
            WebDriverWait(p.driver, 20).until(lambda _: p.element("#map-status").text)
            status = p.element("#map-status").text
            if p.js(pictures + ".filter(i => i.href.baseVal).length") or \
                    not all(w in status for w in words) or not p.elements("#drawing .grid"):
                fail(f"{answer} tiles: pictures drawn, or the page says {status!r}")
        tiles.refusing = tiles.failing = None

        # Addresses that cannot be used, and another server's attribution.
        settings = "const a = document.getElementById('tile-address'); a.value = arguments[0]; " \
                   "a.dispatchEvent(new Event('change'))"
        for address, words in [("http://tile.example.org/{z}/{x}/{y}.png", "https://"),
                               ("https://{s}.tile.example.org/{z}/{x}/{y}.png", "{s}")]:
            p.js(settings, address)
            if words not in p.element("#tile-address-problem").get_attribute("textContent") or \
                    p.element("#tile-address").get_attribute("aria-invalid") != "true":
                fail(f"the address {address} is not said to be wrong")
        p.js(settings, "https://tiles.example.org/{z}/{x}/{y}.png")
        if p.element("#attribution").text != "Map pictures from tiles.example.org":
            fail(f"another server's attribution: {p.element('#attribution').text!r}")
        p.js(settings, TILES + "{z}/{x}/{y}.png")

        switch.click()
        asked = len(tiles.requested)
        for key in "++-":
            p.element("#drawing").send_keys(key)
        # Tiles are asked for by the pictures in the drawing alone.
        if len(tiles.requested) != asked or p.elements("#drawing image") or \
                p.element("#map-status").text:
            fail("the map switched off still asks for tiles, or says something")
    finally:
        tiles.close()


@scenario
def no_request(p):
    """What the page asked for (the browser's own pages ask for theirs)."""
    p.accessible("empty page")
    p.pick(("walk.trb", sample_bytes), ("crafted.trb", crafted))
    p.element("#drawing").send_keys("+")
    events = [json.loads(entry["message"])["message"] for entry in p.driver.get_log("performance")]
    urls = {m["params"]["request"]["url"] for m in events
            if m["method"] == "Network.requestWillBeSent" and
            m["params"].get("documentURL", "").startswith("file://")}
    remote = [url for url in urls if not url.startswith(("file:", "blob:", "data:"))]
    if remote or not urls:
        fail(f"network requests: {remote}, all: {sorted(urls)[:5]}")


# TRB2CSV_WEB_SCENARIOS, names separated by commas, runs only those.
chosen = os.environ.get("TRB2CSV_WEB_SCENARIOS")
if chosen:
    scenarios = [s for s in scenarios if s.__name__ in chosen.split(",")]
driver = headless_chromium.start(tempfile.mkdtemp(dir=work), log_network=True)
try:
    for run in scenarios:
        started, failed_before = time.monotonic(), len(failures)
        try:
            run(Page(driver))
        except Exception as error:  # noqa: BLE001 - a scenario that breaks fails, the others run
            fail(f"{run.__name__}: {type(error).__name__}: {error}")
        outcome = "passed" if len(failures) == failed_before else "FAILED"
        print(f"{run.__name__}: {outcome} in {time.monotonic() - started:.1f} s")
finally:
    driver.quit()
    shutil.rmtree(work, ignore_errors=True)
    print("\n".join(times))
    with open(times_file, "w") as f:
        f.write("".join(line + "\n" for line in times))

if not axe_script:
    print("axe-core is not installed (npm ci): accessibility not checked")
if failures:
    print(f"{len(failures)} failure(s)")
    sys.exit(1)
print(f"web page: all {len(scenarios)} scenarios passed")
