#!/usr/bin/python3
"""--headless --metrics scraped by a real Prometheus every second: nginx_peer.py serves the address (then a new one,
then "error" for a failed lookup) and takes the web notification and a health check's pings; the values are read back
through Prometheus' HTTP API. Usage: metrics_test.py BINARY. Runs inside a network namespace of its own (CMake)."""
import json, os, shutil, subprocess, sys, tempfile, urllib.parse, urllib.request

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")
sys.path.insert(0, PEERS)
from peerlib import free_port, until  # noqa: E402

BINARY = os.path.abspath(sys.argv[1])
WORK = tempfile.mkdtemp(prefix="vistrel-metrics-")
STARTED = []


def check(ok, what, detail=""):
    if not ok:
        stop()
        sys.exit(f"FAIL: {what}\n{detail}")


def stop():
    for process in STARTED:
        process.kill()
        process.wait()
    shutil.rmtree(WORK, ignore_errors=True)


def get(url):
    try:
        with urllib.request.urlopen(url, timeout=2) as answer:
            return answer.status, answer.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, ""
    except OSError:
        return 0, ""


def wait_for(test, what, seconds=15):
    check(until(test, seconds), what)


def main():
    root = os.path.join(WORK, "root")
    os.makedirs(root)
    serve = lambda body: open(os.path.join(root, "ip"), "w").write(body)  # noqa: E731
    serve("203.0.113.7")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, "nginx_peer.py"), "--root", root],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    STARTED.append(nginx)
    words = nginx.stdout.readline().split()
    check(words[:1] == ["PORT"], "nginx starts")
    web = f"http://127.0.0.1:{words[1]}"
    ping = json.dumps({"name": "hc", "on": True, "url": f"{web}/answer/hc/c0ffee", "preset": "healthchecks"})
    settings = os.path.join(WORK, "vistrel.conf")
    with open(settings, "w") as f:
        f.write(f"[Settings]\nshowHelp=0\nwebNotify=1\nstrURL={web}/hook/$External$\naddressSources={web}/body/ip\n"
                f"address6Sources=\nwebRequest2={ping}\nwebSends2=3\nwebFailUrl2={web}/answer/hc/c0ffee/fail\n")
    metrics, prometheus_port = free_port(), free_port()
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(XDG_CONFIG_HOME=os.path.join(WORK, "home"), XDG_DATA_HOME=os.path.join(WORK, "data"),
               VISTREL_ADDRESS_URL=f"{web}/body/ip", VISTREL_ADDRESS_SOURCES=f"{web}/body/ip",
               VISTREL_TEST_REFRESH_SECONDS="1")
    watcher = subprocess.Popen([BINARY, "--headless", "--config", settings, "--metrics", str(metrics)], env=env,
                               stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    STARTED.append(watcher)
    wait_for(lambda: get(f"http://127.0.0.1:{metrics}/metrics")[0] == 200, "a port alone serves on loopback")

    config = os.path.join(WORK, "prometheus.yml")
    with open(config, "w") as f:
        f.write(f"global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: vistrel\n    static_configs:\n"
                f"      - targets: ['127.0.0.1:{metrics}']\n")
    prometheus = subprocess.Popen([shutil.which("prometheus") or "/usr/bin/prometheus", f"--config.file={config}",
                                   f"--storage.tsdb.path={WORK}/tsdb", f"--web.listen-address=127.0.0.1:{prometheus_port}"],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    STARTED.append(prometheus)

    def value(query):
        status, body = get(f"http://127.0.0.1:{prometheus_port}/api/v1/query?" + urllib.parse.urlencode({"query": query}))
        result = json.loads(body)["data"]["result"] if status == 200 else []
        return float(result[0]["value"][1]) if result else -1

    wait_for(lambda: value('vistrel_lookups_total{outcome="ok"}') > 0, "Prometheus scrapes a good lookup")
    serve("203.0.113.8")  # a change: the web notification goes out
    wait_for(lambda: value('vistrel_notices_total{kind="web notification",outcome="delivered"}') == 1,
             "Prometheus has the notice of the change")
    serve("error")
    wait_for(lambda: value('vistrel_lookups_total{outcome="failed"}') > 0, "Prometheus has a failed lookup")
    wait_for(lambda: value('vistrel_notices_total{kind="web ping",outcome="delivered"}') >= 2,
             "the health check's pings are counted")
    since = value('time() - vistrel_address_last_change_timestamp_seconds{address="external"}')
    check(0 <= since < 30, "the time of the change", str(since))
    check(value('vistrel_source_answers_total{outcome="failed"}') >= 1, "the source's failed answer")
    check(value('vistrel_source_answer_seconds_count') >= 2, "the answer times")
    check(value('vistrel_build_info{version=~"[0-9]+[.][0-9]+"}') == 1, "the build information")
    check(value('vistrel_pending_notices') == 0 and value('vistrel_carrier_grade_nat') == 0, "the gauges")
    captured = open(nginx_capture(words)).read()
    check("/answer/hc/c0ffee/fail" in captured and "/answer/hc/c0ffee\t" in captured,
          "the failed lookup pinged /fail, a good one the check", captured)
    stop()
    print("PASS")


def nginx_capture(words):
    return words[words.index("CAPTURE") + 1]


if __name__ == "__main__":
    main()
