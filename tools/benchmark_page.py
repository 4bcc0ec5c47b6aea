#!/usr/bin/python3
"""Times the web page in headless Chromium from the choice of files to the
result and its drawing, as the page itself measures it: for the largest
file it takes whole (1,365 records) and for ten such files at once, on this
machine's CPU and slowed six times (Chromium's CPU throttling, as a low-end
phone). Prints the medians of the rounds against the targets; judges
nothing.

  benchmark_page.py trb2csv.html WRITE_TRACK [ROUNDS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

import headless_chromium

page = os.path.abspath(sys.argv[1])
write_track = os.path.abspath(sys.argv[2])
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
work = tempfile.mkdtemp(prefix="trb2csv-page-benchmark-")
points = [f"{47.5 + i * 1e-4!r},{8.5 + i * 2e-4!r}" for i in range(1365)]
paths = [os.path.join(work, f"track{i}.trb") for i in range(10)]
for path in paths:
    subprocess.run([write_track, path, "1365"] + points, check=True)

driver = headless_chromium.start(work)
try:
    driver.get("file://" + page)
    runs = 0

    def milliseconds(files):
        global runs
        driver.find_element(By.ID, "file").send_keys("\n".join(files))
        runs += 1
        WebDriverWait(driver, 60).until(
            lambda d: d.find_element(By.ID, "elapsed").get_attribute("data-run") == str(runs))
        return float(driver.find_element(By.ID, "elapsed").get_attribute("textContent"))

    results = {1: ([], []), 6: ([], [])}
    for _ in range(rounds):  # interleaved, so that a change of load affects all alike
        for rate, (one, ten) in results.items():
            driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": rate})
            one.append(milliseconds(paths[:1]))
            ten.append(milliseconds(paths))
    for rate, (one, ten) in results.items():
        print(f"web page at {rate}x CPU, {rounds} rounds, medians: the largest file "
              f"{statistics.median(one):.1f} ms (target: at most 50 at 1x), ten of them at once "
              f"{statistics.median(ten):.1f} ms (target: at most 200 at 6x)")
finally:
    driver.quit()
    shutil.rmtree(work, ignore_errors=True)
