#!/usr/bin/python3
"""The setup program under Wine, in a fresh prefix: a silent install for the current user, its files, Start-menu
entry and installed-programs entry; the installed program starts against nginx on 127.0.0.1 and looks up its
address; the installed headless program's --once, with an older address in the registry, notifies the change by
mail over STARTTLS (aiosmtpd, its certificate trusted through the settings), by URL (nginx), by program (cmd.exe
writing a file), by MQTT (mosquitto, read back with mosquitto_sub) and by DNS UPDATE (BIND, read back with dig) and
stores the new address in the registry; a silent uninstall removes the files, the logon Run
value and the entries and keeps the settings; then a per-machine install into a folder given with /D= and an
uninstall asked to remove the settings.
Run inside `unshare -n` (the program must reach nothing past this machine).

Usage: installer_test.py SETUP.exe STAGE_DIR [--expect LINE]
  STAGE_DIR   the folder the setup program was made from (windows/stage.sh)
  --expect    what the installed program prints on standard error once it works
              (default "Finished looking up IPs"; "shown" for the minimal program standing in for it)"""
import argparse, base64, glob, os, subprocess, sys, tempfile, time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
WINE_RUN = os.path.join(ROOT, "windows", "wine-run.sh")
PRODUCT = "Tarnwick IP Vistrel"
UNINSTALL = rf"Software\Microsoft\Windows\CurrentVersion\Uninstall\{PRODUCT}"
RUN = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SETTINGS = rf"HKCU\Software\VB and VBA Program Settings\{PRODUCT}\Settings"


def check(ok, what, detail=""):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        sys.exit(str(detail))


def wine(*command, env=None):
    """Runs @p command in the test's prefix; returns its exit status and output."""
    started = time.monotonic()
    result = subprocess.run([WINE_RUN, *command], env=env or ENV, capture_output=True, text=True, timeout=120)
    print(f"     {command[0].rsplit(chr(92), 1)[-1]} {' '.join(command[1:])[:60]}: {time.monotonic() - started:.1f} s")
    return result.returncode, result.stdout + result.stderr


def registry(*keys):
    """The output of `reg query` for each of @p keys, in one Wine session; None where the key is missing."""
    with open(os.path.join(WORK, "query.bat"), "w") as f:
        f.write("@echo off\r\n")
        f.writelines(f'reg query {key}\r\nif errorlevel 1 echo MISSING\r\necho END\r\n' for key in keys)
    _, out = wine("cmd", "/c", "Z:" + os.path.join(WORK, "query.bat").replace("/", "\\"))
    return [None if "MISSING" in part else part for part in out.split("END")[: len(keys)]]


def unix(windows_path):
    return os.path.join(PREFIX, "drive_c", *windows_path[3:].split("\\"))


def installed_files(folder):
    return {os.path.relpath(os.path.join(d, f), folder) for d, _, files in os.walk(folder) for f in files}


def start_program(folder, expect, url):
    """Starts the installed program with loopback sources only; true once it printed @p expect."""
    wine("reg", "add", SETTINGS, "/v", "addressSources", "/d", url, "/f")
    env = dict(ENV, QT_LOGGING_RULES="vistrel.status.info=true",
               VISTREL_ADDRESS_SOURCES=url, VISTREL_ADDRESS_URL=url)
    # The windows platform plugin, the one installed, on a display of its own.
    program = subprocess.Popen([WINE_RUN, "--xvfb", folder + r"\tarnwick-ip-vistrel.exe"], env=env, stderr=subprocess.PIPE,
                               stdin=subprocess.DEVNULL, text=True)
    seen = []
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and not any(expect in line for line in seen):
        line = program.stderr.readline()
        if not line:
            break
        seen.append(line)
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(ENV, WINEPREFIX=PREFIX))
    program.wait(timeout=30)
    return any(expect in line for line in seen), "".join(seen)


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def peer(script, *args):
    return subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", script), *args],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)


def notifies_on_change(folder, url, web_port, web_log):
    """The installed headless program's --once, the registry holding an older address than the source's."""
    mail, broker, dns = peer("smtp_peer.py", "--security", "starttls"), peer("mosquitto_peer.py"), peer(
        "dns_update_peer.py", "bind")
    _, mail_port, _, cert = mail.stdout.readline().split()
    mqtt_port, dns_port = broker.stdout.readline().split()[1], dns.stdout.readline().split()[1]
    marker = os.path.join(WORK, "ran.txt")
    settings = dict(OldExternal="198.51.100.1", addressSources=url, address6Sources="", emailNotify=1,
                    strServer="127.0.0.1", strPort=mail_port, mailSecurity="starttls",
                    mailTrustedCertificates=wine_path(cert), strEmailTo="to@example.test",
                    strEmailFrom="from@example.test", chkBody=1, txtBody="now $External$", webNotify=1,
                    strURL=f"http://127.0.0.1:{web_port}/hook/change?to=$External$", programNotify=1,
                    strProg=r"C:\windows\system32\cmd.exe", strCommands=f"/c echo ran $External$> {wine_path(marker)}",
                    mqttNotify=1, mqttHost="127.0.0.1", mqttPort=mqtt_port, mqttUser="alice", mqttPassword="s3cret-Pw",
                    mqttTopic="setup/ip", dnsUpdateNotify=1, dnsUpdateServer="127.0.0.1", dnsUpdatePort=dns_port,
                    dnsUpdateZone="example.test", dnsUpdateName="home.example.test", dnsUpdateKeyName="vistrel-key",
                    dnsUpdateKeySecret="c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE=")
    with open(os.path.join(WORK, "settings.bat"), "w") as f:
        f.writelines(f'reg add "{SETTINGS}" /v {k} /d "{v}" /f\r\n' for k, v in settings.items())
    wine("cmd", "/c", wine_path(os.path.join(WORK, "settings.bat")))
    env = dict(ENV, VISTREL_ADDRESS_SOURCES=url, VISTREL_ADDRESS_URL=url)
    status, out = wine(folder + r"\tarnwick-ip-vistrel-headless.exe", "--once", env=env)
    check(status == 1, "--once notifies the change and exits 1", out)
    mail.stdin.close()
    lines = mail.stdout.read().split("\n")
    raw = b"".join(base64.b64decode(line.split()[1]) for line in lines if line.startswith("RAW "))
    message = b"".join(base64.b64decode(line.split()[1]) for line in lines if line.startswith("MESSAGE "))
    check(b"STARTTLS\r\n" in raw and b"now 203.0.113.7" in message, "the mail came over TLS with the address", raw)
    check("/hook/change?to=203.0.113.7\t" in open(web_log).read(), "the URL was requested with the address")
    check(os.path.exists(marker) and open(marker).read().strip() == "ran 203.0.113.7", "the program ran with it")
    sub = subprocess.run(["mosquitto_sub", "-p", mqtt_port, "-u", "alice", "-P", "s3cret-Pw", "-t", "setup/ip", "-C",
                          "1", "-W", "5", "--retained-only"], capture_output=True, text=True)
    check('"external":"203.0.113.7"' in sub.stdout, "the MQTT message was published with it", sub.stdout)
    dig = subprocess.run(["dig", "@127.0.0.1", "-p", dns_port, "+short", "home.example.test", "A"], capture_output=True,
                         text=True)
    check(dig.stdout.strip() == "203.0.113.7", "the DNS name was updated to it", dig.stdout)
    for server in (broker, dns):
        server.stdin.close()
        server.wait(timeout=10)
    settings, = registry(f'"{SETTINGS}" /v OldExternal')
    check(settings is not None and "REG_SZ    203.0.113.7" in settings, "the new address stored", settings)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("setup")
    parser.add_argument("stage")
    parser.add_argument("--expect", default="Finished looking up IPs")
    args = parser.parse_args()
    setup = os.path.abspath(args.setup)
    staged = installed_files(args.stage) | {"Uninstall.exe"}

    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", "nginx_peer.py"), "--root",
                              BODIES], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    _, port, _, web_log = nginx.stdout.readline().split()[:4]
    with open(os.path.join(BODIES, "ip"), "w") as f:
        f.write("203.0.113.7\n")

    # Per user: what an account without administrator rights gets (Wine's account is an administrator).
    status, out = wine(setup, "/S", "/CurrentUser")
    check(status == 0, "silent install for the current user", out)
    entry, = registry(rf'"HKCU\{UNINSTALL}"')
    check(entry is not None, "installed-programs entry under HKCU", entry)
    folder = next(line.split("REG_SZ")[1].strip() for line in entry.splitlines() if "InstallLocation" in line)
    check(folder.lower().endswith(rf"\appdata\local\programs\{PRODUCT}".lower()), "folder under LOCALAPPDATA", folder)
    for value in ("DisplayName    REG_SZ    " + PRODUCT, "DisplayVersion    REG_SZ    3.3.0.0",
                  "Publisher    REG_SZ    Tarnwick Software", f'UninstallString    REG_SZ    "{folder}\\Uninstall.exe"',
                  "EstimatedSize    REG_DWORD    0x"):
        check(value in entry, f"entry holds {value.split()[0]}", entry)
    check(installed_files(unix(folder)) == staged, "every staged file installed, nothing else",
          installed_files(unix(folder)) ^ staged)
    menu = glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                  "Start Menu", "Programs", PRODUCT + ".lnk"))
    check(len(menu) == 1, "Start-menu entry")
    menu = menu[0]

    started, output = start_program(folder, args.expect, f"http://127.0.0.1:{port}/body/ip")
    check(started, f"installed program starts and prints {args.expect!r}", output)
    if "tarnwick-ip-vistrel-headless.exe" in staged:  # not the minimal program that may stand in
        notifies_on_change(folder, f"http://127.0.0.1:{port}/body/ip", port, web_log)

    wine("reg", "add", RUN, "/v", PRODUCT, "/d", f'"{folder}\\tarnwick-ip-vistrel.exe"', "/f")
    check(wine(folder + r"\Uninstall.exe", "/S")[0] == 0, "silent uninstall")
    entry, run, settings = registry(rf'"HKCU\{UNINSTALL}"', f'"{RUN}" /v "{PRODUCT}"', f'"{SETTINGS}"')
    check(not os.path.exists(unix(folder)), "program folder removed")
    check(not os.path.exists(menu), "Start-menu entry removed")
    check(entry is None and run is None, "installed-programs entry and Run value removed", (entry, run))
    check(settings is not None and "addressSources" in settings, "settings kept", settings)

    # Per machine, elevated, into a folder of one's choosing; this uninstall is asked to remove the settings.
    # Two words, so that the command line holds /D= unquoted, as the setup program wants it.
    check(wine(setup, "/S", r"/D=C:\Tools\Vistrel", "IP")[0] == 0, "silent install for all users with /D=")
    entry, = registry(rf'"HKLM\{UNINSTALL}"')
    check(entry is not None and r"C:\Tools\Vistrel IP" in entry, "installed-programs entry under HKLM", entry)
    check(installed_files(unix(r"C:\Tools\Vistrel IP")) == staged, "files in the /D= folder")
    check(wine(r"C:\Tools\Vistrel IP\Uninstall.exe", "/S", "/RemoveSettings")[0] == 0, "uninstall removing settings")
    entry, settings = registry(rf'"HKLM\{UNINSTALL}"', f'"{SETTINGS}"')
    check(entry is None and settings is None, "entry and settings removed", (entry, settings))
    check(not os.path.exists(unix(r"C:\Tools\Vistrel IP")), "/D= folder removed")
    nginx.stdin.close()
    nginx.wait(timeout=10)


if __name__ == "__main__":
    WORK = tempfile.mkdtemp(prefix="vistrel-installer-")
    PREFIX, BODIES = os.path.join(WORK, "prefix"), os.path.join(WORK, "bodies")
    os.makedirs(BODIES)
    ENV = dict(os.environ, VISTREL_WINEPREFIX=PREFIX)
    try:
        main()
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(ENV, WINEPREFIX=PREFIX), stderr=subprocess.DEVNULL)
        subprocess.run(["rm", "-rf", WORK])
