#!/usr/bin/python3
"""Drives the built web page in headless Chromium, opened from file://: feeds
it track-tail files, checks the counts and messages it shows and its drawing,
saves the CSV, GPX and KML, compares the CSV byte for byte with what trb2csv
writes for the same file, reads the GPX and KML with GPSBabel, and checks
that the page made no network request. Saves a screenshot of the sample and
the page's time to result for each file, which it prints and does not judge.

  web_test.py trb2csv.html PROGRAM SAMPLE.trb SCREENSHOT.png TIMES.txt
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

page, program, sample, screenshot, times_file = (os.path.abspath(a) for a in sys.argv[1:6])
work = tempfile.mkdtemp(prefix="trb2csv-web-test-")
downloads = os.path.join(work, "downloads")
os.mkdir(downloads)
failures = []


def fail(message):
    print("FAIL:", message)
    failures.append(message)


def track_file(count, points, extra=b""):
    body = b"".join(struct.pack("<dd", lat, lon) + bytes(32) for lat, lon in points)
    return bytes(200) + struct.pack("<i", count) + body + extra


def native_csv(data):
    """The CSV that trb2csv writes for the file, or None if it writes none."""
    folder = tempfile.mkdtemp(dir=work)
    with open(os.path.join(folder, "ceTrackTail.trb"), "wb") as f:
        f.write(data)
    subprocess.run([program, "-quiet"], cwd=folder, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, timeout=10, check=False)
    csv = os.path.join(folder, "KeloTrackTail.csv")
    return open(csv, "rb").read() if os.path.exists(csv) else None


def gpsbabel_points(kind, path):
    """The points GPSBabel reads from a GPX or KML file, as (lat, lon) text."""
    out = subprocess.run(["gpsbabel", "-t", "-i", kind, "-f", path, "-o", "unicsv", "-F", "-"],
                         capture_output=True, text=True, timeout=30, check=True).stdout
    rows = [line.split(",") for line in out.splitlines()[1:]]
    return [(row[1], row[2]) for row in rows]


with open(sample, "rb") as f:
    sample_bytes = f.read()
# Records out of range (400, NaN), one in range but not on the earth (100),
# and a point count larger than the records.
crafted = track_file(10, [(1.0, 2.0), (400.0, 0.0), (100.0, 10.0), (float("nan"), 0.0),
                          (-33.5, 151.25), (0.0078125, -0.0078125)])
at_limit = track_file(2**31 - 1, [(47.5 + i * 1e-4, 8.5 + i * 2e-4) for i in range(1365)],
                      bytes(15))
cases = [
    # name, bytes, message, header count, walked, lines, left out, drawn
    ("ceTrackTail.trb", sample_bytes, "", "360", "360", "360", "0", 360),
    ("crafted track.trb", crafted, "", "10", "6", "4", "2", 3),
    ("limit.trb", at_limit, "only the first 1,365 records", "2,147,483,647", "1,365", "1,365",
     "0", 1365),
    ("hundred.bin", bytes(range(100)), "holds no track point", None, None, None, None, 0),
]

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--window-size=1200,1000", f"--user-data-dir={work}/profile"]:
    options.add_argument(flag)
options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
times = []
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
try:
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    driver.get("file://" + page)
    wait = WebDriverWait(driver, 20)
    text = lambda id: driver.find_element(By.ID, id).text

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
        driver.find_element(By.ID, button).click()
        try:
            wait.until(lambda _: (lambda data: data is not None and whole(data))(
                read_download(path)))
        except TimeoutException:
            pass
        return read_download(path)

    for run, (name, data, message, header, walked, lines, left_out, drawn) in enumerate(cases, 1):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        driver.find_element(By.ID, "file").send_keys(path)
        wait.until(lambda d: d.find_element(By.ID, "elapsed").get_attribute("data-run") == str(run))
        case = name
        if text("file-name") != name:
            fail(f"{case}: shows the name {text('file-name')!r}")
        if message not in text("message") or (not message and text("message")):
            fail(f"{case}: message {text('message')!r}")
        native = native_csv(data)
        if header is None:
            if driver.find_element(By.ID, "converted").is_displayed() or native is not None:
                fail(f"{case}: a file without track points has results")
            continue
        shown = (text("header-count"), text("records-walked"), text("lines-written"),
                 text("left-out"))
        if shown != (header, walked, lines, left_out):
            fail(f"{case}: counts {shown}")
        polylines = driver.find_elements(By.CSS_SELECTOR, "#drawing polyline")
        points = len(polylines[0].get_attribute("points").split()) if polylines else 0
        if len(polylines) != 1 or points != drawn:
            fail(f"{case}: {len(polylines)} polylines with {points} points drawn")
        elapsed = float(driver.find_element(By.ID, "elapsed").get_attribute("textContent"))
        times.append(f"{case}: result and drawing in {elapsed} ms")

        base = name.rsplit(".", 1)[0]
        for button, csv_name in [("save-default", "KeloTrackTail.csv"),
                                 ("save-named", base + ".csv")]:
            if saved(button, csv_name, lambda data: data == native) != native:
                fail(f"{case}: the CSV saved as {csv_name} is not trb2csv's")
        first = [line.split(" , ")[:2] for line in native.decode().splitlines()
                 if abs(float(line.split(" , ")[0])) <= 90 and
                 abs(float(line.split(" , ")[1])) <= 180][0]
        for button, kind in [("save-gpx", "gpx"), ("save-kml", "kml")]:
            with open(os.path.join(work, "read." + kind), "wb") as f:
                end = b"</gpx>" if kind == "gpx" else b"</kml>"
                f.write(saved(button, f"{base}.{kind}", lambda data: data.rstrip().endswith(end)) or b"")
            read = gpsbabel_points(kind, os.path.join(work, "read." + kind))
            if len(read) != drawn or [float(v) for v in read[0]] != [float(v) for v in first]:
                fail(f"{case}: GPSBabel reads {len(read)} points from the {kind}, "
                     f"first {read[:1]}, not {drawn} from {first}")
        if name == "ceTrackTail.trb":
            driver.set_window_size(1100, 1170)
            driver.save_screenshot(screenshot)

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

if failures:
    print(f"{len(failures)} failure(s)")
    sys.exit(1)
print(f"web page: all {len(cases)} files as trb2csv converts them, no request")
