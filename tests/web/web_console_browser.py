#!/usr/bin/python3
"""The web console in a real browser, against the built program running headless.

Signs in, sees an agent's removable media request arrive, approves it with
edited user IDs and finds the medium in the allow-list file; denies another
and finds its UnADD line; adds and removes a destination; checks that a viewer
gets no buttons and 403 by POST, that a forged post changes nothing, and that
the audit page lists it all. Then, on a console with 90 days of history, draws
an agent's timeline and the shares' use with the forecast.

usage: web_console_browser.py PROGRAM [SCREENSHOT_DIR]
"""
import http.cookiejar
import os
import sqlite3
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.support.ui import WebDriverWait

PROGRAM = sys.argv[1]
SHOTS = sys.argv[2] if len(sys.argv) > 2 else None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def hash_of(password):
    return subprocess.run(["openssl", "passwd", "-6", password], check=True,
                          capture_output=True, text=True).stdout.strip()


def write_cp932_lines(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def wait_for(what, test, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        if test():
            return
        time.sleep(0.2)
    raise AssertionError("never happened: " + what)


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def main():
    work = tempfile.mkdtemp(prefix="plenvo-browser-")
    console = None
    driver = None
    try:
        base = os.path.join(work, "inst")
        home = os.path.join(work, "home")
        os.makedirs(os.path.join(home, "usershares"))
        with open(os.path.join(home, "smb.conf"), "w") as f:
            f.write("[global]\nusershare path = %s\nusershare max shares = 10\n"
                    % os.path.join(home, "usershares"))
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   SMB_CONF_PATH=os.path.join(home, "smb.conf"))
        subprocess.run([PROGRAM, "--install", base], check=True, env=env,
                       stdout=subprocess.DEVNULL)
        destination = os.path.join(work, "backup")
        os.makedirs(destination)
        results = os.path.join(base, "OrvShare", "RST")
        os.makedirs(results, exist_ok=True)
        for host, user, name in (("PC01", "tanaka", "田中"), ("PC02", "sato", "佐藤"),
                                 ("PC03", "suzuki", "鈴木")):
            write_cp932_lines(os.path.join(results, host + ".txt"),
                              ["ComNM=" + host, "UserID=" + user, "UserName=" + name,
                               "Status=Idol", "ToBkup=" + os.path.join(destination, host)])
        users = os.path.join(work, "users")
        with open(users, "w") as f:
            f.write("boss:%s:admin\nlooker:%s\n" % (hash_of("s3cret"), hash_of("look")))
        os.chmod(users, 0o600)
        port = free_port()
        url = "http://127.0.0.1:%d" % port
        console = subprocess.Popen(
            [PROGRAM, "--base", base, "--headless", "--tick-ms", "300",
             "--http", "127.0.0.1:%d" % port, "--http-users", users],
            env=env, stderr=open(os.path.join(work, "said.txt"), "w"))

        options = Options()
        for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--window-size=1000,900",
                    "--lang=ja", "--user-data-dir=" + os.path.join(work, "chromium")):
            options.add_argument(arg)
        options.binary_location = "/usr/bin/chromium"
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.set_page_load_timeout(20)

        def opened(path):
            driver.get(url + path)
            return driver.page_source

        def press(by, what):
            """Clicks and waits until the page it leads to has replaced this one."""
            old = driver.find_element(By.TAG_NAME, "html")
            driver.find_element(by, what).click()

            def replaced(_):
                # Chromium says "stale" or "not in the document" while the next page loads.
                try:
                    old.is_enabled()
                    return False
                except WebDriverException:
                    return True

            WebDriverWait(driver, 20).until(replaced)
            return driver.page_source

        wait_for("the web view", lambda: _answers(url + "/signin"))
        check("サインイン" in opened("/media"), "the media page leads to the sign-in form")
        driver.find_element(By.NAME, "user").send_keys("boss")
        driver.find_element(By.NAME, "password").send_keys("s3cret")
        press(By.CSS_SELECTOR, "button[type=submit]")

        # Monitoring on, so that the allow-list file follows the approvals.
        if "監視していません" in opened("/settings"):
            press(By.XPATH, "//button[text()='監視する']")
            check("done" in driver.page_source, "monitoring switched on")
        else:  # on from the installation; off and on again, through the page
            press(By.XPATH, "//button[text()='監視をやめる']")
            wait_for("the allow-list file gone",
                     lambda: not os.path.exists(os.path.join(base, "OrvShare", "REM", "RM")))
            opened("/settings")
            press(By.XPATH, "//button[text()='監視する']")
        wait_for("the allow-list file",
                 lambda: os.path.exists(os.path.join(base, "OrvShare", "REM", "RM")))

        # An agent asks for two media.
        write_cp932_lines(os.path.join(base, "OrvShare", "REM", "ADD"),
                          ["1111&7.5GB&u1 u2&経理のUSB", "2222&16GB&u3&<script>x</script>"])
        wait_for("the requests on the page", lambda: "経理のUSB" in opened("/media"))
        check("<script>x</script>" not in driver.page_source, "a remark is shown as text")
        if SHOTS:
            driver.save_screenshot(os.path.join(SHOTS, "web-media.png"))

        press(By.CSS_SELECTOR, "a[href='/media/approve?serial=1111']")
        box = driver.find_element(By.NAME, "user_ids")
        box.clear()
        box.send_keys("u1 u9")
        press(By.CSS_SELECTOR, "button[type=submit]")
        check("done" in driver.page_source, "approved: " + driver.page_source[-300:])
        allow_list = open(os.path.join(base, "OrvShare", "REM", "RM"), "rb").read().decode("cp932")
        check("1111" in allow_list and "u1 u9" in allow_list, "the medium is in RM: " + allow_list)

        opened("/media/deny?serial=2222")
        press(By.CSS_SELECTOR, "button[type=submit]")
        unadd = open(os.path.join(base, "OrvShare", "REM", "UnADD"), "rb").read().decode("cp932")
        check(unadd.startswith("2222&16GB&u3&"), "the denial is in UnADD: " + unadd)

        # A destination added, shown, and removed again.
        opened("/settings")
        driver.find_element(By.NAME, "path").send_keys(destination)
        press(By.XPATH, "//button[text()='追加']")
        check("done" in driver.page_source, "added: " + driver.page_source[-300:])
        check(os.path.exists(os.path.join(destination, "SRV.ini")), "SRV.ini written")
        check(destination in opened("/settings"), "the destination is listed")
        if SHOTS:
            driver.save_screenshot(os.path.join(SHOTS, "web-settings.png"))

        # Below a listed destination, an agent's folder is browsed and a file fetched.
        os.makedirs(os.path.join(destination, "PC01", "書類"))
        with open(os.path.join(destination, "PC01", "書類", "見積 <1>.txt"), "wb") as f:
            f.write(b"estimate")
        opened("/agents/PC01/tanaka")
        press(By.XPATH, "//a[text()='バックアップ先フォルダ']")
        press(By.XPATH, "//a[text()='書類\\']")
        link = driver.find_element(By.XPATH, "//a[text()='見積 <1>.txt']").get_attribute("href")
        fetched = urllib.request.urlopen(urllib.request.Request(link, headers={
            "Cookie": "plenvo_session=" + driver.get_cookie("plenvo_session")["value"]}),
            timeout=10)
        check(fetched.read() == b"estimate" and "attachment" in
              fetched.headers["Content-Disposition"], "the file is handed out as a download")

        opened("/settings")
        press(By.XPATH, "//a[text()='削除']")
        press(By.CSS_SELECTOR, "button[type=submit]")
        check(destination not in opened("/settings"), "the destination is gone")

        page = opened("/")
        check("メディアの申請" in page and ">3</a>" in page, "the overview counts the agents")
        if SHOTS:
            driver.save_screenshot(os.path.join(SHOTS, "web-overview.png"))
        audit = opened("/audit")
        for action in ("approve", "deny", "add destination", "remove destination", "monitoring"):
            check(action in audit, "the audit lists " + action)

        # The admin's cookie without the form's token, as a forged post would carry it.
        cookie = "plenvo_session=" + driver.get_cookie("plenvo_session")["value"]
        write_cp932_lines(os.path.join(base, "OrvShare", "REM", "ADD"), ["3333&1GB&u4&x"])
        wait_for("the third request", lambda: "3333" in opened("/media"))
        status = _post(url + "/media/approve", {"serial": "3333"}, {"Cookie": cookie})
        check(status == 403, "a post without the token is refused, got %d" % status)
        check("3333" in opened("/media"), "nothing changed")

        # A viewer looks, and may not act.
        viewer = _session(url, "looker", "look")
        media = viewer.open(url + "/media").read().decode()
        check("3333" in media and "/media/approve" not in media, "a viewer sees no buttons")
        status = _post(url + "/api/requests/3333/approve", {}, {
            "Authorization": "Basic bG9va2VyOmxvb2s=", "Content-Type": "application/json"},
            body=b"{}")
        check(status == 403, "a viewer's action is refused, got %d" % status)
        the_past(driver, work, env, users)
        print("web console in chromium: signed in, approved, denied, settings, a file "
              "fetched, viewer, forged post, audit, an agent's 90 days, the shares' forecast")
    except Exception:
        if driver:
            print("page at the failure:", driver.current_url, driver.page_source[:3000])
        print(open(os.path.join(work, "said.txt")).read()[-3000:])
        raise
    finally:
        if driver:
            driver.quit()
        if console:
            console.send_signal(signal.SIGTERM)
            try:
                console.wait(10)
            except subprocess.TimeoutExpired:
                console.kill()
        shutil.rmtree(work, ignore_errors=True)


def the_past(driver, work, env, users):
    """A console that has kept 90 days: an agent's timeline and the shares' chart."""
    base = os.path.join(work, "past")
    subprocess.run([PROGRAM, "--install", base], check=True, env=env, stdout=subprocess.DEVNULL)
    results = os.path.join(base, "OrvShare", "RST")
    os.makedirs(results, exist_ok=True)
    write_cp932_lines(os.path.join(results, "PC01.txt"),
                      ["ComNM=PC01", "UserID=tanaka", "UserName=田中", "Status=Idol",
                       "RSRT=100%", "ToBkup=\\\\FS01\\Backup\\PC01",
                       "UPDT=" + time.strftime("%Y/%m/%d 9:05:03"), "AgtVer=2.1.0"])
    port = free_port()
    url = "http://127.0.0.1:%d" % port
    # Only the start-up passes: nothing rewrites the rows put in below.
    console = subprocess.Popen(
        [PROGRAM, "--base", base, "--headless", "--tick-ms", "600000",
         "--http", "127.0.0.1:%d" % port, "--http-users", users],
        env=env, stderr=open(os.path.join(work, "said-past.txt"), "w"))
    try:
        wait_for("the start-up passes",
                 lambda: os.path.exists(os.path.join(base, "HTM", "status.json")))
        db = sqlite3.connect(os.path.join(base, "Mng.mdb"), timeout=10)
        # A daily report for 90 days; the destination unreachable for a week.
        for day in range(90, 0, -1):
            codes = "08" if 40 <= day < 47 else ("15" if 60 <= day < 63 else "")
            before = "08" if 39 <= day < 46 else ("15" if 59 <= day < 62 else "")
            db.execute("INSERT INTO AgentHistory VALUES (datetime('now', 'localtime', ?), "
                       "'PC01', 'tanaka', datetime('now', 'localtime', ?), ?, ?, "
                       "'\\\\FS01\\Backup\\PC01', ?)",
                       ("-%d days" % day, "-%d days" % day,
                        "%d%%" % (100 - (day * 7) % 23), codes, before))
        # A share that fills by 12 GB a day: its forecast line and day.
        db.execute("INSERT INTO ShareDriveInfo (ComNM, SharePath, DrvSize, DrvSpace, UsageVate) "
                   "VALUES ('FS01', '\\\\FS01\\Backup', 2000e9, 500e9, 75)")
        for day in range(30, -1, -1):
            db.execute("INSERT INTO ShareHistory VALUES (datetime('now', 'localtime', ?), "
                       "'FS01', '\\\\FS01\\Backup', 2000e9, ?)",
                       ("-%d days" % day, 500e9 + 12e9 * day))
        db.commit()
        db.close()

        driver.get(url + "/signin")
        driver.find_element(By.NAME, "user").send_keys("looker")
        driver.find_element(By.NAME, "password").send_keys("look")
        driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
        wait_for("signed in", lambda: "/signin" not in driver.current_url)
        driver.get(url + "/agents/PC01/tanaka")
        page = driver.page_source
        check("<svg" in page and "08" in page, "the agent's 90 days are drawn")
        if SHOTS:
            driver.execute_script("document.querySelector('svg').scrollIntoView()")
            driver.save_screenshot(os.path.join(SHOTS, "web-agent-timeline.png"))
        driver.get(url + "/shares")
        page = driver.page_source
        check("満杯まで約" in page and "6,4" in page, "the share's forecast is drawn")
        if SHOTS:
            driver.save_screenshot(os.path.join(SHOTS, "web-shares.png"))
    finally:
        console.send_signal(signal.SIGTERM)
        try:
            console.wait(10)
        except subprocess.TimeoutExpired:
            console.kill()


def _answers(address):
    try:
        urllib.request.urlopen(address, timeout=2)
        return True
    except (urllib.error.URLError, OSError):
        return False


def _post(address, fields, headers, body=None):
    data = body if body is not None else urllib.parse.urlencode(fields).encode()
    headers = dict({"Content-Type": "application/x-www-form-urlencoded"}, **headers)
    request = urllib.request.Request(address, data=data, headers=headers, method="POST")
    try:
        return urllib.request.urlopen(request, timeout=10).status
    except urllib.error.HTTPError as e:
        return e.code


def _session(url, user, password):
    opener = urllib.request.build_opener(
        urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))
    opener.open(url + "/signin", data=urllib.parse.urlencode(
        {"user": user, "password": password}).encode(), timeout=10)
    return opener


if __name__ == "__main__":
    main()
