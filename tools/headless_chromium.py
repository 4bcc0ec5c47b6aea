"""Headless Chromium from Debian's packages, driven by Selenium, for the web
page's test and benchmark: no sandbox (CI runs as root), no background
requests, a profile of its own in the given folder, downloads into it."""
from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def start(folder, downloads=None, log_network=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--window-size=1280,1000",
                 f"--user-data-dir={folder}/profile"]:
        options.add_argument(flag)
    if log_network:
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    if downloads:
        driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": downloads})
    return driver
