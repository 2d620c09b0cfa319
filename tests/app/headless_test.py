#!/usr/bin/python3
"""The program as installed, without a display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset), against real
peers on 127.0.0.1: chaos_address_peer.py as the address service, smtp_peer.py for mail, nginx_peer.py for the URL,
/bin/sh for the program, mosquitto_peer.py for MQTT, dns_update_peer.py (named) for the DNS update.
Usage: headless_test.py BINARY. Each case prints its name; the first failure ends the run."""
import json, os, re, signal, subprocess, sys, tempfile, threading, time

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")
sys.path.insert(0, PEERS)
from peerlib import until  # noqa: E402
BINARY = os.path.abspath(sys.argv[1])
WORK = tempfile.mkdtemp(prefix="vistrel-headless-")
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
ENV.update(XDG_CONFIG_HOME=os.path.join(WORK, "home"), XDG_RUNTIME_DIR=os.path.join(WORK, "run"))
os.makedirs(ENV["XDG_RUNTIME_DIR"], mode=0o700)


RUNNING = []  # watchers to stop when a check fails


def check(ok, what, detail=""):
    if not ok:
        for process in RUNNING:
            process.kill()
        sys.exit(f"FAIL: {what}\n{detail}")


def peer(script, *args):
    process = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, script), *args], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True)
    words = process.stdout.readline().split()
    check(words[:1] == ["PORT"], f"{script} starts")
    return process, words


def mails_received(mail):
    """A growing list of the mail peer's output lines, read in the background."""
    lines = []
    threading.Thread(target=lambda: lines.extend(iter(mail.stdout.readline, "")), daemon=True).start()
    return lambda: sum(line.startswith("MESSAGE") for line in lines)


def address_service(step):
    process, words = peer("chaos_address_peer.py", *step)
    return process, f"http://127.0.0.1:{words[1]}/ip"


def environment(url, env):
    return {**ENV, "VISTREL_ADDRESS_URL": url, "VISTREL_ADDRESS_SOURCES": url, **(env or {})}


def run(*args, url="http://127.0.0.1:9/ip", env=None, timeout=20):
    result = subprocess.run([BINARY, *args], env=environment(url, env), stdin=subprocess.DEVNULL, capture_output=True,
                            text=True, timeout=timeout)
    return result.returncode, result.stderr


def start(*args, url, env=None):
    return subprocess.Popen([BINARY, *args], env=environment(url, env), stdin=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)


def wait_for(test, what, seconds=15):
    check(until(test, seconds), what)


def config(name, mail_port, web_port, marker, **values):
    path = os.path.join(WORK, name)
    # Values as people write them by hand: ";" and "," belong to the value.
    settings = dict(emailNotify=1, strServer="127.0.0.1", strPort=mail_port, strEmailTo="to@example.test",
                    strEmailFrom="from@example.test", webNotify=1,
                    strurl=f"http://127.0.0.1:{web_port}/hook/first?h=a,b", programNotify=1, strProg="/bin/sh",
                    strCommands=f"-c 'echo \"ran,x;y\" >> {marker}'", showHelp=0,
                    addressSources="http://127.0.0.1:9/ip", address6Sources="")
    settings.update(values)
    with open(path, "w") as f:
        f.write("[Settings]\n; kept as written\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    return path


def text(path):
    return open(path).read() if os.path.exists(path) else ""


def bad_command_lines():
    print("bad command lines: 64 and the usage; --version")
    for args in (["--bogus"], ["--config"], ["--headless", "--once"], ["extra"], ["--history", "--once"],
                 ["--format", "csv"], ["--history", "--format", "xml"], ["--install-task", "--remove-task"],
                 ["--remove-task", "--once"]):
        status, err = run(*args)
        check(status == 64 and "Usage:" in err, f"{args} exits 64 with the usage", err)
    status = subprocess.run([BINARY, "--version"], env=ENV, capture_output=True, text=True)
    check(status.returncode == 0 and status.stdout.startswith("Tarnwick IP Vistrel "), "--version", status.stdout)


def watcher_task():
    print("--install-task without the package's unit: the user's own unit, which --remove-task alone removes")
    unit = os.path.join(ENV["XDG_CONFIG_HOME"], "systemd", "user", "tarnwick-ip-vistrel.service")
    if os.path.exists("/usr/lib/systemd/user/tarnwick-ip-vistrel.service"):
        return print("  skipped: the package's unit is installed here")
    # No user manager answers in the test's runtime folder: systemctl fails once the unit is written.
    status, err = run("--install-task", env={"DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent"})
    check(status == 78 and "systemctl" in err, "--install-task tells systemctl's failure", err)
    check(f'ExecStart="{BINARY}" --headless\n' in text(unit), "the unit starts this program", text(unit))
    status, err = run("--remove-task")
    check(status == 0 and not os.path.exists(unit), "--remove-task removes it", err)
    with open(unit, "w") as f:
        f.write("[Service]\nExecStart=/bin/true\n")
    check(run("--remove-task")[0] == 0 and os.path.exists(unit), "a unit it did not write stays")
    os.remove(unit)


def unusable_settings_files():
    print("unusable settings files (a folder, below a file, a shell rc): 78, nothing written")
    blocker, rc = os.path.join(WORK, "blocker"), os.path.join(WORK, "bashrc")
    with open(blocker, "w") as f:
        f.write("[Settings]\nrefresh=1\n")
    with open(rc, "w") as f:
        f.write("# ~/.bashrc\nexport PATH=$HOME/bin:$PATH\n")
    for path in (WORK, os.path.join(blocker, "inside.conf"), rc):
        for mode in ("--once", "--headless"):
            status, err = run(mode, "--config", path)
            check(status == 78 and path in err, f"{mode} --config {path} exits 78", err)
    check(text(blocker) == "[Settings]\nrefresh=1\n", "the file in the way is unchanged")
    check(text(rc) == "# ~/.bashrc\nexport PATH=$HOME/bin:$PATH\n", "the shell rc is unchanged")


def once_exit_statuses(mail_port, web_port, web_log, marker):
    print("--once: 3 lookup failed, 0 first address, 1 changed and notified, 0 unchanged, 2 mail failed")
    path = config("once.conf", mail_port, web_port, marker)
    status, err = run("--once", "--config", path)  # nothing listens on port 9
    check(status == 3, "a refused address service exits 3", err)
    for step, expected in (("A", 0), ("B", 1), ("B", 0)):
        service, url = address_service(["--step", step])
        status, err = run("--once", "--config", path, url=url)
        service.stdin.close()
        check(status == expected, f"address {step} exits {expected}", err)
        check(("External: 203.0.113.1 -> 203.0.113.2" in err) == (expected == 1), "the change is logged", err)
    check("ran,x;y" in text(marker) and "/hook/first?h=a,b\t" in text(web_log), "program and URL notified",
          text(marker) + text(web_log))
    check("; kept as written" in text(path), "a hand-written comment survives the program's writes", text(path))
    refusing, words = peer("smtp_peer.py", "--quiet", "--reply", "mail=550 \x1b]0;owned\x07\x1b[2Jno\\r\\n")
    path = config("refused.conf", words[1], web_port, marker, OldExternal="203.0.113.2")
    service, url = address_service(["--step", "A"])
    status, err = run("--once", "--config", path, url=url)
    check(status == 2 and "pendingNotices=mail:1:" in text(path), "a refused mail exits 2, kept pending", err)
    check("Error: 550 ]0;owned[2Jno" in err and not re.search("[\x00-\x09\x0b-\x1f]", err),
          "the server's escapes reach no terminal", err)
    refusing.stdin.close()
    # Its time has come by the next run, which tries it once more with a server that takes it.
    kept = re.sub(r"pendingNotices=mail:1:\S+", "pendingNotices=mail:1:2000-01-01T00:00:00Z", text(path))
    with open(path, "w") as f:
        f.write(kept.replace(f"strPort={words[1]}", f"strPort={mail_port}"))
    status, err = run("--once", "--config", path, url=url)
    check(status == 0 and "pendingNotices=\n" in text(path), "the pending mail goes out at the next run", err)
    service.stdin.close()


def secrets_private_at_once():
    print("a readable file holding a secret is made private by a run that writes nothing; a torn write's file goes")
    path = config("private.conf", 9, 9, os.devnull, mqttPassword="s3cret")
    os.chmod(path, 0o644)
    leftovers = [path + ".tmp-Ab3dE9", path + ".backup"]  # a write's temporary file, and a name no write gives
    for leftover in leftovers:
        with open(leftover, "w") as f:
            f.write("[Settings]\nmqttPassword=s3cret\n")
    status, err = run("--once", "--config", path)  # the lookup fails: nothing is written
    check(status == 3 and os.stat(path).st_mode & 0o777 == 0o600 and "held secrets readable by others; made private"
          in err, "made private at the start", err)
    check([os.path.exists(name) for name in leftovers] == [False, True], "only the temporary file is removed", err)


def newest_addresses_and_agreement(mail_port, web_port, web_log, marker):
    print("--once: the remembered IPv6 while its sources fail, a masked token, one source twice is no agreement")
    service, url = address_service(["--step", "B"])
    hook = "/hook/dyn?ip=$External$&v6=$ExternalIPv6$&old=$ExternalIP$&token=s3cret"
    path = config("v6.conf", mail_port, web_port, marker, OldExternal="203.0.113.1", OldExternalIPv6="2001:db8::77",
                  strurl=f"http://127.0.0.1:{web_port}{hook}", emailNotify=0)
    status, err = run("--once", "--config", path, url=url, env={"VISTREL_ADDRESS6_SOURCES": "http://127.0.0.1:9/ip"})
    sent = "/hook/dyn?ip=203.0.113.2&v6=2001:db8::77&old=203.0.113.2&token=s3cret"
    check(status == 1 and sent in text(web_log), "the URL carries the remembered IPv6", err + text(web_log))
    check("token=***" in err and "s3cret" not in err, "the token is masked in the status lines", err)
    path = config("twice.conf", mail_port, web_port, marker, addressQuorum=2)
    status, err = run("--once", "--config", path, url=url, env={"VISTREL_ADDRESS_SOURCES": f"{url} {url}"})
    check(status == 3, "one source listed twice is no agreement", err)
    service.stdin.close()


def mqtt_over_tls():
    print("--once: the change published to mosquitto over TLS, retained, the password never on standard error")
    broker, words = peer("mosquitto_peer.py", "--password", "s3cret-Pw")
    fields = dict(zip(words[::2], words[1::2]))
    service, url = address_service(["--step", "A"])
    path = config("mqtt.conf", 9, 9, os.devnull, emailNotify=0, webNotify=0, programNotify=0, mqttNotify=1,
                  mqttHost="localhost", mqttPort=fields["TLS"], mqttTls=1, mqttCaFile=fields["CA"], mqttUser="alice",
                  mqttPassword="s3cret-Pw", OldExternal="203.0.113.99")
    status, err = run("--once", "--config", path, url=url)
    service.stdin.close()
    check(status == 1 and "Success: MQTT message published to vistrel/addresses on localhost:" in err
          and "s3cret" not in err, "--once publishes to the broker", err)
    sub = subprocess.run(["mosquitto_sub", "-h", "127.0.0.1", "-p", fields["PORT"], "-u", "alice", "-P", "s3cret-Pw",
                          "-t", "vistrel/addresses", "--retained-only", "-C", "1", "-W", "5"], capture_output=True,
                         text=True, timeout=10)
    message = json.loads(sub.stdout or "{}")
    check(message.get("external") == "203.0.113.1" and message.get("previous_external") == "203.0.113.99",
          "the retained message carries the new and the old address", sub.stdout)
    broker.stdin.close()


def pending_and_stopped_notices(web_port, web_log, marker):
    print("--once: 1 for a notice a killed run owed, 2 for a pending one failing again, 2 and the mail named after "
          "SIGTERM, 2 at its time limit")
    failing, words = peer("chaos_address_peer.py", "--step", "status:500")
    service, url = address_service(["--step", "A"])
    path = config("owed.conf", 9, web_port, marker, OldExternal="203.0.113.1", emailNotify=0, programNotify=0,
                  strurl=f"http://127.0.0.1:{web_port}/hook/owed", pendingNotices="web:0:2000-01-01T00:00:00Z")
    status, err = run("--once", "--config", path, url=url)
    check(status == 1 and "/hook/owed" in text(web_log) and "pendingNotices=\n" in text(path), "owed goes out", err)
    path = config("retry.conf", 9, web_port, marker, OldExternal="203.0.113.1", emailNotify=0, programNotify=0,
                  strurl=f"http://127.0.0.1:{words[1]}/hook", pendingNotices="web:1:2000-01-01T00:00:00Z")
    status, err = run("--once", "--config", path, url=url)
    check(status == 2 and "pendingNotices=web:2:" in text(path), "a retried web notice failing again exits 2", err)
    holding, words = peer("smtp_peer.py", "--quiet", "--stall", "data")
    path = config("stop.conf", words[1], web_port, marker, OldExternal="203.0.113.2", webNotify=0, programNotify=0)
    watcher = start("--once", "--config", path, url=url)
    RUNNING.append(watcher)
    wait_for(lambda: "OldExternal=203.0.113.1" in text(path), "the lookup ends and the mail starts")
    time.sleep(0.5)
    watcher.send_signal(signal.SIGTERM)
    status, err = watcher.wait(10), watcher.stderr.read()
    check(status == 2 and "left pending: Mail notice pending" in err, "SIGTERM during the mail exits 2", err)
    path = config("limit.conf", words[1], web_port, marker, OldExternal="203.0.113.2", webNotify=0, programNotify=0)
    status, err = run("--once", "--config", path, url=url, env={"VISTREL_TEST_ONCE_LIMIT_MS": "2500"})
    check(status == 2 and "not done within 2.5 s" in err and "pendingNotices=mail:" in text(path),
          "--once ends at its limit, the mail left pending", err)
    for process in (failing, service, holding):
        process.stdin.close()


def several_web_requests(web_port, web_log, capture_log, marker):
    print("--once: two more web requests; the one that fails is the only one left pending; the secret stays unseen")
    with open(os.path.join(WORK, "ntfy"), "w") as f:
        f.write('{"id":"x1","event":"message"}')
    service, url = address_service(["--step", "A"])
    phone = ('{"name":"phone","on":true,"method":"POST","url":"http://127.0.0.1:%s/capture/ntfy",'
             '"headers":"Title: New address\\nAuthorization: Bearer $Secret$","body":"$ExternalIP$ was $OldExternalIP$",'
             '"bodyType":"text","preset":"ntfy-token"}' % web_port)
    broken = '{"name":"down","on":true,"method":"PUT","url":"http://127.0.0.1:9/x","bodyType":"json","body":"{}"}'
    path = config("requests.conf", 9, web_port, marker, OldExternal="198.51.100.9", emailNotify=0, programNotify=0,
                  webRequest2=phone, webSecret2="tk_s3cret", webRequest3=broken)
    status, err = run("--once", "--config", path, url=url)
    sent = "POST\t/capture/ntfy\ttext/plain; charset=utf-8\tBearer tk_s3cret\tNew address\t203.0.113.1 was 198.51.100.9"
    check(status == 2 and sent in text(capture_log) and "/hook/first" in text(web_log), "all three are sent",
          err + text(capture_log))
    pending = re.search(r"pendingNotices=(.*)", text(path))
    check(pending and re.fullmatch(r"web3:1:\S+", pending.group(1)), "only the third waits for its retry", text(path))
    check("Success: phone: {" in err and "tk_s3cret" not in err, "the outcome shows, the secret does not", err)
    service.stdin.close()


def damaged_web_request(web_port, marker):
    print("--once: a damaged web request is said and fails the run, and is not tried again until mended")
    service, url = address_service(["--step", "A"])
    path = config("damaged.conf", 9, web_port, marker, OldExternal="198.51.100.9", emailNotify=0, programNotify=0,
                  webRequest3='{"url":"http://127.0.0.1:9/x","method":"DELETE"}')
    status, err = run("--once", "--config", path, url=url)
    said = 'The web request 3 in the settings is damaged (unknown method "DELETE"); skipped'
    check(status == 2 and said in err and "web3:" not in text(path), "it exits 2, said, not pending", err)
    service.stdin.close()


def headless_watcher(mails, mail_port, web_port, web_log, marker):
    print("--headless: notices a change, SIGHUP re-reads, one watcher per file, SIGTERM ends it")
    path = config("headless.conf", mail_port, web_port, marker, OldExternal="203.0.113.1")
    service, url = address_service(["--schedule", "A,B", "--slot", "4"])
    os.remove(marker)
    watcher = start("--headless", "--config", path, url=url, env={"VISTREL_TEST_REFRESH_SECONDS": "1"})
    RUNNING.append(watcher)
    wait_for(lambda: "ran" in text(marker), "the program runs on a change")
    wait_for(lambda: mails() == 3, "the mail arrives")
    check("/hook/first" in text(web_log), "the URL is requested")
    with open(f"/proc/{watcher.pid}/maps") as f:
        loaded = f.read()
    check("libmosquitto" not in loaded and "libldns" not in loaded, "MQTT and DNS UPDATE, off, load no library")
    for args, env in ((["--headless"], {}), (["--once"], {}), ([], {"QT_QPA_PLATFORM": "offscreen"})):
        status, err = run(*args, "--config", path, url=url, env=env)
        check(status == 75 and "headless" in err, f"{args or 'the window'} refused while a watcher runs", err)
    with open(path, "a") as f:
        f.write(f"strurl=http://127.0.0.1:{web_port}/hook/second\n")
    watcher.send_signal(signal.SIGHUP)
    wait_for(lambda: "/hook/second" in text(web_log), "the URL read again after SIGHUP is requested", 20)
    started = time.monotonic()
    watcher.send_signal(signal.SIGTERM)
    status = watcher.wait(10)
    err = watcher.stderr.read()
    check(status == 0 and time.monotonic() - started < 5, "SIGTERM ends it with 0 within 5 s", err)
    check("Finished looking up IPs" in err and "secret" not in err, "status lines on stderr, no password", err)
    service.stdin.close()


def other_names_of_a_watched_file():
    print("one watcher per file: through a symbolic link or a hard link 75; the link stays a link")
    path = config("named.conf", 9, 9, "", emailNotify=0, webNotify=0, programNotify=0)
    service, url = address_service(["--step", "A"])
    names = [os.path.join(WORK, name) for name in ("sym.conf", "hard.conf", "later.conf")]
    os.symlink(path, names[0])
    os.link(path, names[1])  # a file of its own after the watcher's first write, still refused while it runs
    watcher = start("--headless", "--config", path, url=url)
    RUNNING.append(watcher)
    wait_for(lambda: "OldExternal=" in text(path), "the watcher stores the address")
    os.link(path, names[2])  # to the file the watcher wrote
    for name in names:
        status, err = run("--once", "--config", name, url=url)
        said = "A headless watcher" if name == names[0] else "through another name"  # the holder answers a link
        check(status == 75 and said in err, f"--once through {name} is refused", err)
    watcher.terminate()
    watcher.wait(10)
    check(os.path.islink(names[0]) and "OldExternal=203.0.113.1" in text(names[0]), "the link stays, the file written")
    service.stdin.close()


def full_folder():
    print("a full folder: no room for the lock file, or for a changed address (said in the status line): 78")
    path = config("full.conf", 9, 9, "", OldExternal="198.51.100.7", emailNotify=0, webNotify=0, programNotify=0)
    folder = os.path.join(WORK, "full")
    os.mkdir(folder)
    service, url = address_service(["--step", "A"])
    script = ('mount -t tmpfs -o size=64k tmpfs "$0" && cp "$1" "$0/" && dd if=/dev/zero of="$0/fill" bs=4k '
              'count=$(($(stat -f -c %a "$0") - $3)) 2>/dev/null; exec "$2" --once --config "$0/full.conf"')
    for spare, said in (("0", "The lock file"), ("1", "could not be saved (")):
        result = subprocess.run(["unshare", "-m", "sh", "-c", script, folder, path, BINARY, spare],
                                env=dict(ENV, VISTREL_ADDRESS_URL=url), stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=20)
        check(result.returncode == 78 and said in result.stderr, f"{said}: 78", result.stderr)
    check("No space left on device); the change will be announced again" in result.stderr, "why", result.stderr)
    service.stdin.close()


def second_window_start(url):
    print("the window: a second start on its file brings it forward (0), --headless is refused (75)")
    path = config("window.conf", 9, 9, os.path.join(WORK, "unused"))
    window = start("--config", path, url=url, env={"QT_QPA_PLATFORM": "offscreen"})
    RUNNING.append(window)
    wait_for(lambda: os.path.exists(path + ".instance.lock"), "the window takes the lock")
    status, err = run("--config", path, url=url, env={"QT_QPA_PLATFORM": "offscreen"})
    check(status == 0, "a second window start hands over and exits 0", err)
    status, err = run("--headless", "--config", path, url=url)
    check(status == 75 and "window" in err, "--headless is refused beside the window", err)
    window.kill()  # its lock stays behind, held by nobody
    window.wait(10)
    status, err = run("--once", "--config", path)
    check(status == 3, "a dead watcher's lock is taken over", err)


def status_lines_for_the_journal():
    print("status lines: own time stamp on a file, the journal's priority when JOURNAL_STREAM names standard error")
    path = config("journal.conf", 9, 9, os.path.join(WORK, "unused"))
    for journal in (False, True):
        with open(os.path.join(WORK, "stderr.txt"), "w+") as err:
            info = os.fstat(err.fileno())
            env = dict(ENV, VISTREL_ADDRESS_URL="http://127.0.0.1:9/ip")
            if journal:
                env["JOURNAL_STREAM"] = f"{info.st_dev}:{info.st_ino}"
            subprocess.run([BINARY, "--once", "--config", path], env=env, stderr=err, timeout=20)
            err.seek(0)
            lines = err.read().splitlines()
        pattern = r"<[3-7]>[^<\d]" if journal else r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d) \S"
        check(lines and all(re.match(pattern, line) for line in lines), f"journal={journal}", "\n".join(lines))


def history_after_restart(web_port):
    print("history: three changes from nginx, then --history after a restart (text, csv), beside a running watcher")
    url = f"http://127.0.0.1:{web_port}/body/ip"
    path = config("history.conf", 9, 9, "", OldExternal="203.0.113.1", emailNotify=0, webNotify=0, programNotify=0)
    for address in ("203.0.113.2", "203.0.113.2", "203.0.113.3", "203.0.113.4"):
        with open(os.path.join(WORK, "ip"), "w") as f:
            f.write(address + "\n")
        status, err = run("--once", "--config", path, url=url)
        check(status in (0, 1), f"--once sees {address}", err)
    check(os.path.exists(path + ".history.sqlite"), "the history lies beside the settings file")
    watcher = start("--headless", "--config", path, url=url)
    RUNNING.append(watcher)
    check(watcher.stderr.readline() != "", "the watcher starts")  # its first line comes once it holds the file
    printed = {}
    for form in ("text", "csv"):
        result = subprocess.run([BINARY, "--history", "--format", form, "--config", path], env=ENV,
                                capture_output=True, text=True, timeout=20)
        check(result.returncode == 0, f"--history --format {form} exits 0 beside the watcher", result.stderr)
        printed[form] = result.stdout.splitlines()
    olds = [line.split(",")[2:4] for line in printed["csv"][1:]]
    check(printed["csv"][0] == "time_utc,address,old,new,lasted_seconds" and
          olds == [["203.0.113.1", "203.0.113.2"], ["203.0.113.2", "203.0.113.3"], ["203.0.113.3", "203.0.113.4"]],
          "the three changes, once each, oldest first", "\n".join(printed["csv"]))
    check(len(printed["text"]) == 4 and re.match(r"When \(UTC\) +Address +Old +New", printed["text"][0]) and
          re.search(r"External +203\.0\.113\.3 +203\.0\.113\.4 +\d+ s$", printed["text"][3]), "aligned text",
          "\n".join(printed["text"]))
    watcher.terminate()
    watcher.wait(10)
    env = dict(ENV, XDG_DATA_HOME=os.path.join(WORK, "data"))
    result = subprocess.run([BINARY, "--history"], env=env, capture_output=True, text=True, timeout=20)
    check(result.returncode == 0 and result.stdout.startswith("No history has been recorded yet") and
          not os.path.exists(env["XDG_DATA_HOME"]), "no history yet, and --history made none",
          result.stdout + result.stderr)
    home = os.path.join(ENV["XDG_CONFIG_HOME"], "Tarnwick IP Vistrel.conf")
    os.makedirs(ENV["XDG_CONFIG_HOME"], exist_ok=True)
    with open(home, "w") as f:
        f.write(f"[Settings]\nshowHelp=0\naddressSources={url}\naddress6Sources=\nOldExternal=198.51.100.1\n")
    status, err = run("--once", url=url, env={"XDG_DATA_HOME": env["XDG_DATA_HOME"]})
    os.remove(home)
    check(status == 1 and os.path.exists(os.path.join(WORK, "data", "Tarnwick IP Vistrel", "history.sqlite")),
          "the default settings file's history is in the data folder", err)


def dns_update():
    print("--once: a change updates the A record on named, signed; the next run sends nothing")
    server, words = peer("dns_update_peer.py", "bind")
    secret = "c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE="
    path = config("dns.conf", 9, 9, "/dev/null", emailNotify=0, webNotify=0, programNotify=0, dnsUpdateNotify=1,
                  dnsUpdateServer="127.0.0.1", dnsUpdatePort=words[1], dnsUpdateZone="example.test",
                  dnsUpdateName="home.example.test", dnsUpdateKeyName="vistrel-key", dnsUpdateKeySecret=secret,
                  OldExternal="203.0.113.2")
    service, url = address_service(["--step", "A"])
    status, err = run("--once", "--config", path, url=url)
    held = subprocess.run(["dig", "@127.0.0.1", "-p", words[1], "+short", "home.example.test", "A"],
                          capture_output=True, text=True).stdout.strip()
    check(status == 1 and held == "203.0.113.1" and "DNS update: home.example.test set to 203.0.113.1" in err,
          "the change is set in the zone", f"{status} {held}\n{err}")
    check(secret not in err, "the key's secret is never shown", err)
    with open(path, "a") as f:
        f.write("OldExternal=203.0.113.2\n")
    status, err = run("--once", "--config", path, url=url)
    check(status == 1 and "already set; nothing sent" in err, "the same address is not sent again", err)
    service.stdin.close()
    server.stdin.close()


def main():
    bad_command_lines()
    watcher_task()
    unusable_settings_files()
    secrets_private_at_once()
    status_lines_for_the_journal()
    mail, words = peer("smtp_peer.py")
    mail_port = words[1]
    web, words = peer("nginx_peer.py", "--root", WORK)
    web_port, web_log, capture_log = words[1], words[3], words[5]
    marker = os.path.join(WORK, "marker")
    mails = mails_received(mail)
    once_exit_statuses(mail_port, web_port, web_log, marker)
    check(mails() == 2, "the change --once found and the retried one are mailed")
    newest_addresses_and_agreement(mail_port, web_port, web_log, marker)
    pending_and_stopped_notices(web_port, web_log, marker)
    mqtt_over_tls()
    several_web_requests(web_port, web_log, capture_log, marker)
    damaged_web_request(web_port, marker)
    headless_watcher(mails, mail_port, web_port, web_log, marker)
    other_names_of_a_watched_file()
    full_folder()
    second_window_start(f"http://127.0.0.1:{web_port}/hook/ip")
    history_after_restart(web_port)
    dns_update()
    mail.stdin.close()
    web.stdin.close()
    print("ok")


main()
