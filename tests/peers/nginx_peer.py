#!/usr/bin/python3
"""nginx on 127.0.0.1 to 127.0.0.8 (servers of their own, for agreement): deploy/nginx/address-service.conf,
--root under /body/, "ok" under /hook/ (and /private/ for alice, password p@ss), 429 under /refuse/ (with
Retry-After: the query's "after"), 403 under /forbid/, each request's URI, agent, Cache-Control, Pragma logged.
Under /capture/ the files of --root again, for any method, with each request's method, URI, Content-Type,
Authorization, Title and body logged in CAPTURE (escaped as nginx escapes: \x22 for a quote); /answer/<name> gives
the fixed answers below (the health checks' as their documentation shows them; Retry-After from ?after=, a date for /answer/unavailable).
Prints "PORT <port> LOG <log> CAPTURE <log>"; stops when stdin closes or after --lifetime."""
import argparse, os, shutil, socket, subprocess, tempfile, time

from peerlib import emit, free_port, wait_for_end

DEPLOY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../deploy/nginx/address-service.conf")
CONFIG = """daemon off; master_process off; pid {work}/nginx.pid; error_log {work}/error.log warn; events {{}}
http {{
    client_body_temp_path {work}/b; proxy_temp_path {work}/p; fastcgi_temp_path {work}/f; uwsgi_temp_path {work}/u;
    scgi_temp_path {work}/s; log_format vistrel '$request_uri\\t$http_user_agent\\t$http_cache_control\\t$http_pragma';
    access_log {work}/access.log vistrel;
    log_format capture '$request_method\t$request_uri\t$content_type\t$http_authorization\t$http_title\t$request_body';
    server {{
        {listen} include {deploy};
        location /body/ {{ alias {root}/; default_type text/plain; }}
        location /hook/ {{ default_type text/plain; return 200 "ok"; }}
        location /private/ {{ auth_basic "hook"; auth_basic_user_file {work}/users; try_files /- @ok; }}
        location /refuse/ {{ add_header Retry-After $arg_after always; return 429; }}
        location /forbid/ {{ return 403; }}
        location @ok {{ default_type text/plain; return 200 "ok"; }}
        location /capture/ {{ access_log {work}/capture.log capture; proxy_method GET; proxy_pass http://127.0.0.1:{port}/body/; }}
        location /answer/ {{
            access_log {work}/capture.log capture; default_type text/plain; add_header Retry-After $arg_after always;
            location = /answer/busy {{ return 429 "slow down"; }}
            location = /answer/unavailable {{ add_header Retry-After "Sun, 06 Nov 2044 08:49:37 GMT" always; return 503; }}
            location = /answer/telegram-denied {{ return 401 '{{"ok":false,"error_code":401,"description":"Unauthorized"}}'; }}
            location = /answer/telegram-refused {{ return 200 '{{"ok":false,"description":"chat not found"}}'; }}
            location = /answer/telegram-sent {{ return 200 '{{"ok":true,"result":{{"message_id":7}}}}'; }}
            location = /answer/slack-invalid {{ return 400 "invalid_payload"; }}
            location = /answer/matrix-forbidden {{ return 403 '{{"errcode":"M_FORBIDDEN","error":"not in the room"}}'; }}
            location = /answer/desec-badauth {{ return 401 "badauth"; }}
            location /answer/hc/ {{ return 200 "OK"; }}
            location /answer/hc-unknown/ {{ return 200 "OK (not found)"; }}
            location /answer/kuma/ {{ return 200 '{{"ok":true}}'; }}
            location /answer/kuma-paused/ {{ return 200 '{{"ok":false,"msg":"Monitor not found or not active."}}'; }}
            location = /answer/gotify-denied {{ return 401 '{{"error":"Unauthorized","errorCode":401,"errorDescription":"you need to provide a valid access token"}}'; }}
        }}
    }}
}}"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--lifetime", type=float, default=600.0)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-nginx-")
    with open(os.path.join(work, "users"), "w") as f:
        f.write("alice:{PLAIN}p@ss\n")
    for _ in range(5):  # another program may take the free port before nginx does
        port = free_port()
        with open(os.path.join(work, "nginx.conf"), "w") as f:
            listen = "".join(f"listen 127.0.0.{i}:{port}; " for i in range(1, 9))
            f.write(CONFIG.format(work=work, port=port, listen=listen, root=os.path.abspath(args.root), deploy=DEPLOY))
        nginx = subprocess.Popen([shutil.which("nginx") or "/usr/sbin/nginx", "-p", work, "-c", work + "/nginx.conf"],
                                 stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while nginx.poll() is None and time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
            except OSError:
                time.sleep(0.02)
                continue
            emit(f"PORT {port} LOG {work}/access.log CAPTURE {work}/capture.log")
            wait_for_end(args.lifetime)
            break
        nginx.kill()
        if nginx.wait() == -9:  # it ran, answered or not, and was stopped here
            break
    else:
        emit("FAILED")  # nginx said why on standard error
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
