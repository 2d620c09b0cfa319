#!/usr/bin/python3
"""--once against tests/peers/dnshosts_peer.py as three DNS hosts side by side: the Cloudflare entry of the old keys,
Porkbun (keys in the body) and No-IP (updates only). A change of the external address moves each record, each entry
says so on its own status line, no secret reaches a status line, and a run that finds the records as it left them
sends nothing. Usage: dnsapi_once_test.py BINARY (in a network namespace of its own); a Windows BINARY (.exe) runs
under windows/wine-run.sh, both runs in one Wine prefix (its Credential Manager keeps the secrets the first run took)."""
import json, os, shutil, subprocess, sys, tempfile

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")
WORK = tempfile.mkdtemp(prefix="vistrel-dnsapi-")
TOKEN = "tok-3f9a-secret"


def peer(script, *args):
    process = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, script), *args], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True)
    return process, process.stdout.readline().split()[1]


def once(path, url):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(XDG_CONFIG_HOME=os.path.join(WORK, "home"), XDG_RUNTIME_DIR=WORK, VISTREL_ADDRESS_URL=url,
               VISTREL_ADDRESS_SOURCES=url, VISTREL_ADDRESS6_SOURCES="", VISTREL_WINEPREFIX=os.path.join(WORK, "wine"))
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    wine = [os.path.join(PEERS, "..", "..", "windows", "wine-run.sh")] if sys.argv[1].endswith(".exe") else []
    result = subprocess.run([*wine, sys.argv[1], "--once", "--config", path], env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=90)
    return result.returncode, result.stderr


def check(ok, what, detail=""):
    if not ok:
        sys.exit(f"FAIL: {what}\n{detail}")


def main():
    address, address_port = peer("chaos_address_peer.py", "--step", "A")  # 203.0.113.1
    api, api_port = peer("dnshosts_peer.py", "--provider", "cloudflare", "--secret", TOKEN, "--record",
                         "A:home.example.com:198.51.100.4")
    porkbun, porkbun_port = peer("dnshosts_peer.py", "--provider", "porkbun", "--secret", "pk1_a:sk1_b")
    noip, noip_port = peer("dnshosts_peer.py", "--provider", "noip", "--secret", "me:pw-7d2e")
    url = f"http://127.0.0.1:{address_port}/ip"
    path = os.path.join(WORK, "dnsapi.conf")
    settings = dict(showHelp=0, addressSources=url, address6Sources="", addressQuorum=1, OldExternal="198.51.100.4",
                    cloudflareNotify=1, dnsApiZone="example.com", dnsApiRecord="home", dnsApiToken=TOKEN,
                    dnsApiBaseUrl=f"http://127.0.0.1:{api_port}/client/v4",
                    dnsHost1=json.dumps({"provider": "porkbun", "on": True, "zone": "example.com",
                                         "api": f"http://127.0.0.1:{porkbun_port}/api/json/v3",
                                         "names": [{"name": "home"}, {"name": "@"}]}),
                    dnsHostSecret1='{"apikey":"pk1_a","secretapikey":"sk1_b"}',
                    dnsHost2=json.dumps({"provider": "noip", "on": True, "api": f"http://127.0.0.1:{noip_port}",
                                         "fields": {"user": "me"}, "names": [{"name": "home.example.com"}]}),
                    dnsHostSecret2="pw-7d2e")
    with open(path, "w") as f:
        f.write("[Settings]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    status, err = once(path, url)
    check(status == 1 and "Success: Cloudflare: home.example.com A 203.0.113.1 (was 198.51.100.4)" in err,
          "--once moves the record and exits 1", err)
    check("Success: Porkbun: home.example.com A 203.0.113.1 created; example.com A 203.0.113.1 created" in err and
          "Success: No-IP: home.example.com A 203.0.113.1 sent" in err, "each entry has its own line", err)
    check(all(secret not in err for secret in (TOKEN, "sk1_b", "pw-7d2e")), "no secret in a status line", err)
    # The same change again (the file's old address put back): the record already holds it, nothing goes out.
    with open(path) as f:
        kept = f.read()
    with open(path, "w") as f:
        f.write(kept.replace("OldExternal=203.0.113.1", "OldExternal=198.51.100.4"))
    status, err = once(path, url)
    check(status == 1 and err.count("203.0.113.1 already set; nothing sent") == 3, "a second run sends nothing", err)
    for other in (porkbun, noip):
        other.stdin.close()
        other.wait(timeout=10)
    api.stdin.close()
    address.stdin.close()
    requests = [json.loads(line.split(" ", 1)[1]) for line in api.stdout if line.startswith("REQUEST")]
    check([r["method"] for r in requests] == ["GET", "GET", "PATCH"], "zone, record, one PATCH", str(requests))
    check(json.loads(requests[2]["body"]) == {"content": "203.0.113.1"}, "the PATCH sets the content only",
          requests[2]["body"])
    check(all(TOKEN not in r["path"] + r["body"] for r in requests), "the token only in the Authorization header",
          str(requests))
    print("ok")


try:
    main()
finally:
    shutil.rmtree(WORK, ignore_errors=True)  # under Wine a prefix of some 700 MB
