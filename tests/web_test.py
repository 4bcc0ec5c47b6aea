#!/usr/bin/python3
"""Drives the built web page in headless Chromium, opened from file://: feeds
it track-tail files and other files, one and several at a time, checks the
counts, warnings and drawing it shows, saves the CSV, GPX, KML and GeoJSON,
compares the CSV byte for byte with what trb2csv writes for the same file,
reads the GPX and KML back with GPSBabel, zooms the drawing, checks the
drawing at a phone's width, runs axe-core, and checks that the page made no
network request. Saves screenshots at 1,280 and 390 px and the page's time
to result for each file, which it prints and does not judge.

  web_test.py trb2csv.html PROGRAM WRITE_TRACK SAMPLE.trb SCREENSHOT.png TIMES.txt [AXE.js]
"""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import headless_chromium  # noqa: E402

page, program, write_track, sample, screenshot, times_file = (
    os.path.abspath(a) for a in sys.argv[1:7])
axe_script = sys.argv[7] if len(sys.argv) > 7 and os.path.exists(sys.argv[7]) else None
work = tempfile.mkdtemp(prefix="trb2csv-web-test-")
downloads = os.path.join(work, "downloads")
os.mkdir(downloads)
failures = []


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


def gpsbabel(kind, path, output):
    return subprocess.run(["gpsbabel", "-t", "-i", kind, "-f", path, "-o", output, "-F", "-"],
                          capture_output=True, text=True, timeout=30, check=True).stdout


def gpsbabel_points(kind, path):
    """The points GPSBabel reads from a GPX or KML file, as (lat, lon) text."""
    rows = [line.split(",") for line in gpsbabel(kind, path, "unicsv").splitlines()[1:]]
    return [(row[1], row[2]) for row in rows]


def gpsbabel_track_names(kind, path):
    return re.findall(r"<trk>\s*<name>(.*?)</name>", gpsbabel(kind, path, "gpx"))


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
NOT_A_TRACK = "does not look like a track-tail file"
cases = [
    # name, bytes, warning, header count, walked, lines, left out, drawn
    ("ceTrackTail.trb", sample_bytes, "", "360", "360", "360", "0", 360),
    ("crafted track.trb", crafted, NOT_A_TRACK, "10", "6", "4", "2", 3),
    ("limit.trb", at_limit, "only the first 1,365 records", "2,147,483,647", "1,365", "1,365",
     "0", 1365),
    ("photo.png", bytes(picture), NOT_A_TRACK, None, None, None, None, None),
    ("hundred.bin", bytes(range(100)), "holds no track point", None, None, None, None, 0),
]
times = []
driver = headless_chromium.start(work, downloads, log_network=True)
try:
    driver.get("file://" + page)
    wait = WebDriverWait(driver, 20)
    runs = 0

    def pick(*named_bytes):
        """Picks the files at once and waits for the page's result."""
        global runs
        paths = []
        for name, data in named_bytes:
            paths.append(os.path.join(work, name))
            with open(paths[-1], "wb") as f:
                f.write(data)
        driver.find_element(By.ID, "file").send_keys("\n".join(paths))
        runs += 1
        wait.until(lambda d: d.find_element(By.ID, "elapsed").get_attribute("data-run") == str(runs))
        elapsed = driver.find_element(By.ID, "elapsed").get_attribute("textContent")
        times.append(f"{', '.join(name for name, _ in named_bytes)}: result and drawing in {elapsed} ms")
        return driver.find_elements(By.CSS_SELECTOR, ".track-result")

    def read_download(path):
        try:
            with open(path, "rb") as f:
                return f.read()
        except OSError:
            return None

    def saved(button, name, whole):
        """Clicks the save button and returns the bytes of the file it saves,
        once whole(bytes) holds for them, or what it holds after 20 s."""
        path = os.path.join(downloads, name)
        if os.path.exists(path):
            os.remove(path)
        button.click()
        try:
            wait.until(lambda _: (lambda data: data is not None and whole(data))(read_download(path)))
        except TimeoutException:
            pass
        return read_download(path) or b""

    def save_page(path):
        """A picture of the whole page, below the window too."""
        driver.execute_script("document.activeElement.blur()")
        shot = driver.execute_cdp_cmd("Page.captureScreenshot", {"captureBeyondViewport": True})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def polylines():
        return driver.find_elements(By.CSS_SELECTOR, "#drawing polyline")

    def accessible(case):
        if not axe_script:
            return
        with open(axe_script) as f:
            driver.execute_script(f.read())
        result = driver.execute_async_script(
            "const done = arguments[0]; axe.run(document).then((r) => done(r.violations))")
        for violation in result:
            fail(f"{case}: axe-core: {violation['id']}: {violation['help']} "
                 f"({len(violation['nodes'])} nodes)")

    accessible("empty page")
    for name, data, warning, header, walked, lines, left_out, drawn in cases:
        [result] = pick((name, data))
        case = name
        shown = result.find_element(By.TAG_NAME, "h3").text
        warnings = " ".join(w.text for w in result.find_elements(By.CLASS_NAME, "warning"))
        if shown != name:
            fail(f"{case}: shows the name {shown!r}")
        if warning not in warnings or (not warning and warnings):
            fail(f"{case}: warnings {warnings!r}")
        native = native_csv(data)
        if drawn == 0:
            if result.find_elements(By.CLASS_NAME, "counts") or native is not None or \
                    driver.find_element(By.ID, "track").is_displayed():
                fail(f"{case}: a file without track points has results or a drawing box")
            continue
        if header is not None:
            counts = tuple(result.find_element(By.CLASS_NAME, kind).text for kind in
                           ["header-count", "records-walked", "lines-written", "left-out"])
            if counts != (header, walked, lines, left_out):
                fail(f"{case}: counts {counts}")
            points = len(polylines()[0].get_attribute("points").split()) if polylines() else 0
            if len(polylines()) != 1 or points != drawn:
                fail(f"{case}: {len(polylines())} polylines with {points} points drawn")
        base = name.rsplit(".", 1)[0]
        for kind, csv_name in [("default", "KeloTrackTail.csv"), ("named", base + ".csv")]:
            button = result.find_element(By.CLASS_NAME, f"save-{kind}")
            if native is None:
                if button.is_enabled() or "writes no CSV file" not in warnings:
                    fail(f"{case}: trb2csv writes no CSV, but the page offers {button.text!r}")
            elif saved(button, csv_name, lambda data: data == native) != native:
                fail(f"{case}: the CSV saved as {csv_name} is not trb2csv's")
        if header is None or drawn == 0:
            continue
        first = [line.split(" , ")[:2] for line in native.decode().splitlines()
                 if abs(float(line.split(" , ")[0])) <= 90 and
                 abs(float(line.split(" , ")[1])) <= 180][0]
        for kind, end in [("gpx", b"</gpx>"), ("kml", b"</kml>")]:
            path = os.path.join(work, "read." + kind)
            with open(path, "wb") as f:
                f.write(saved(result.find_element(By.CLASS_NAME, f"save-{kind}"), f"{base}.{kind}",
                              lambda data: data.rstrip().endswith(end)))
            read = gpsbabel_points(kind, path)
            if len(read) != drawn or [float(v) for v in read[0]] != [float(v) for v in first]:
                fail(f"{case}: GPSBabel reads {len(read)} points from the {kind}, "
                     f"first {read[:1]}, not {drawn} from {first}")
            if gpsbabel_track_names(kind, path) != [base]:
                fail(f"{case}: the {kind} track is not named {base!r}")
        if name == "ceTrackTail.trb":
            accessible("the sample")
            save_page(screenshot)

    # A file rewritten since it was picked is read again when picked again.
    pick(("again.trb", track_file(1, [(1.0, 2.0)])))
    [again] = pick(("again.trb", track_file(2, [(1.0, 2.0), (3.0, 4.0)])))
    if again.find_element(By.CLASS_NAME, "lines-written").text != "2":
        fail("a file picked again after a change is not read again")

    # A file that cannot be read: a message, and nothing of the file before.
    driver.execute_script("""
        const gone = { name: "gone.trb", size: 300, slice: () => ({ arrayBuffer: () =>
          Promise.reject(new DOMException("it changed after it was picked", "NotReadableError")) }) };
        const drop = new Event("drop", { cancelable: true });
        drop.dataTransfer = { files: [gone] };
        document.dispatchEvent(drop);""")
    runs += 1
    wait.until(lambda d: d.find_element(By.ID, "elapsed").get_attribute("data-run") == str(runs))
    results = driver.find_elements(By.CSS_SELECTOR, ".track-result")
    if len(results) != 1 or "could not be read: it changed" not in results[0].text or polylines():
        fail(f"an unreadable file: {[r.text for r in results]}, {len(polylines())} polylines")

    # Three tracks at once: listed, drawn in a legend, saved as one document.
    three = [("walk one.trb", sample_bytes), ("a & b.trb", crafted), ("limit.trb", at_limit)]
    results = pick(*three)
    legend = driver.find_elements(By.CSS_SELECTOR, "#legend li")
    if len(results) != 3 or len(legend) != 3 or len(polylines()) != 3:
        fail(f"three files: {len(results)} listed, {len(legend)} in the legend, "
             f"{len(polylines())} drawn")
    names = [name.rsplit(".", 1)[0] for name, _ in three]
    path = os.path.join(work, "all.gpx")
    with open(path, "wb") as f:
        f.write(saved(driver.find_element(By.ID, "save-all-gpx"), "tracks.gpx",
                      lambda data: data.rstrip().endswith(b"</gpx>")))
    if gpsbabel_track_names("gpx", path) != ["walk one", "a &amp; b", "limit"]:
        fail(f"Save all: GPSBabel reads the tracks {gpsbabel_track_names('gpx', path)}")
    try:
        geojson = json.loads(saved(driver.find_element(By.ID, "save-all-geojson"), "tracks.geojson",
                                   lambda data: data.rstrip().endswith(b"]}")))
        features = geojson["features"]
        if geojson["type"] != "FeatureCollection" or \
                [f["properties"]["name"] for f in features] != names or \
                [len(f["geometry"]["coordinates"]) for f in features] != [360, 3, 1365] or \
                features[0]["geometry"]["coordinates"][0] != [10.004, 53.55808]:
            fail(f"Save all: GeoJSON {str(geojson)[:300]}")
    except (ValueError, KeyError, IndexError) as error:
        fail(f"Save all: no GeoJSON FeatureCollection: {error!r}")

    # Zoom with the keys, and back to the whole view.
    drawing = driver.find_element(By.ID, "drawing")
    whole_view = polylines()[0].get_attribute("points")
    drawing.send_keys("+")
    if polylines()[0].get_attribute("points") == whole_view:
        fail("+ on the drawing does not zoom")
    drawing.send_keys("0")
    if polylines()[0].get_attribute("points") != whole_view:
        fail("0 on the drawing does not show all again")
    accessible("three tracks")

    # A long name in two-byte characters: the saved names fit 255 bytes with
    # Chromium's ".crdownload", cut at a character boundary.
    [long_name] = pick(("ä" * 125 + ".trb", sample_bytes))
    fitted = "ä" * 118 + ".geojson"
    if not saved(long_name.find_element(By.CLASS_NAME, "save-geojson"), fitted, lambda d: d):
        fail(f"a name of {len(('ä' * 125).encode())} bytes: nothing saved as {fitted}")

    # A phone's width: the box takes the track's shape, the labels stay legible.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 390, "height": 844, "deviceScaleFactor": 1, "mobile": True})
    driver.get("file://" + page)
    runs = 0
    accessible("the empty page at 390 px")
    pick(("ceTrackTail.trb", sample_bytes))
    box = driver.execute_script("return document.getElementById('drawing').getBoundingClientRect()")
    labels = driver.execute_script(
        "return [...document.querySelectorAll('#drawing text')].map(t => t.getBoundingClientRect().height)")
    if not 0.5 <= box["width"] / box["height"] <= 2 or box["width"] > 390 or not labels or \
            min(labels) < 12:
        fail(f"390 px: a box of {box['width']:.0f} × {box['height']:.0f}, labels {labels[:3]} px high")
    accessible("390 px")
    save_page(screenshot.replace(".png", "-phone.png"))

    # What the page asked for (the browser's own pages ask for theirs).
    events = [json.loads(entry["message"])["message"] for entry in driver.get_log("performance")]
    urls = {m["params"]["request"]["url"] for m in events
            if m["method"] == "Network.requestWillBeSent" and
            m["params"].get("documentURL", "").startswith("file://")}
    remote = [url for url in urls if not url.startswith(("file:", "blob:", "data:"))]
    if remote or not urls:
        fail(f"network requests: {remote}, all: {sorted(urls)[:5]}")
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
print(f"web page: all {len(cases)} files, several at once, zoom, a phone's width, as trb2csv "
      "converts them, no request")
