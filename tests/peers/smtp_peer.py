#!/usr/bin/python3
"""The tests' mail server: aiosmtpd on 127.0.0.1, plain, STARTTLS or implicit TLS, faults by option.

Ready line "PORT <port>[ CERT <file>]"; stops when stdin closes. Prints "RAW <base64>", "MESSAGE <base64>" and
"AUTH <ok|fail> <b64 user> <b64 password> <mechanism>". Steps: greeting helo ehlo starttls auth user password
mail rcpt data message quit rset noop; --reply STEP=TEXT, --close/--stall/--flood/--garbage STEP; --cycle LIST.
"""
import argparse
import asyncio
import base64
import functools
import logging
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import time
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

args = None


def emit(line):
    if not args.quiet or line.startswith("PORT"):
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


def b64(data):
    return base64.b64encode(data).decode("ascii")


class FaultySMTP(SMTP):
    AuthLoginUsernameChallenge, AuthLoginPasswordChallenge = "Username:", "Password:"
    STEPS = {"auth": ("auth", "user", "password"), "data": ("data", "message")}

    def __init__(self, peer, number, behaviour, **kwargs):
        super().__init__(Handler(), **kwargs)
        self.peer, self.number, self.behaviour = peer, number, behaviour
        self.step, self.pushes, self.outcome, self.collected, self.logged = "greeting", 0, None, None, False
        self.faults = dict(peer.faults)
        if behaviour == "reject":
            self.faults["helo"] = self.faults["ehlo"] = (b"550 5.7.1 Not today\r\n", "close")
        elif behaviour == "stall":
            self.faults["greeting"] = (b"", "stall")
        elif behaviour == "close":
            self.faults.update({s: (b"", "close") for s in ("helo", "ehlo", "mail", "quit", "rset", "noop", "auth")})
        for verb, method in list(self._smtp_methods.items()):
            self._smtp_methods[verb] = self._stepped(verb.lower(), method)

    def _stepped(self, verb, method):
        @functools.wraps(method)
        async def run(arg):
            self.step, self.pushes = verb, 0
            if verb != "ehlo":
                return await method(arg)
            self.collected = []  # aiosmtpd pushes the EHLO reply line by line: send it as one reply
            try:
                await method(arg)
            finally:
                lines, self.collected = self.collected, None
            if lines:
                await self.push(b"\r\n".join(lines))
        return run

    def data_received(self, data):
        emit("RAW " + b64(data))
        super().data_received(data)

    def connection_lost(self, error):
        if self.peer.log and not self.logged:
            self.logged = True
            self.peer.log.write("%.3f %d %s %s\n" % (time.monotonic(), self.number - 1, self.behaviour,
                                                     self.outcome or "ended"))
            self.peer.log.flush()
        super().connection_lost(error)

    async def _write(self, data):
        size = args.split or len(data) or 1
        for at in range(0, len(data), size):
            if at:
                await asyncio.sleep(args.split_pause)
            self._writer.write(data[at:at + size])
            await self._writer.drain()

    async def push(self, status):
        response = status.encode("utf-8") if isinstance(status, str) else status
        if self.collected is not None:
            return self.collected.append(response)
        names = self.STEPS.get(self.step, (self.step,))
        step, self.pushes = names[min(self.pushes, len(names) - 1)], self.pushes + 1
        await asyncio.sleep(args.delay)
        text, action = self.faults.get(step, (None, None))
        if text is None:
            if args.multiline and not response.startswith(b"334") and b"\n" not in response:
                response = response[:3] + b"-vistrel test peer\r\n" + response
            if step == "message" and response.startswith(b"250"):
                self.outcome = "accepted"
            return await self._write(response + b"\r\n")
        await self._write(text + (b"x" * args.flood_bytes if action == "flood" else b""))
        if action == "garbage":
            await asyncio.sleep(0.2)  # the client has begun its handshake
            await self._write(b"\x00\xffnot a TLS record\r\n" * 8)
        if action == "close":
            self.outcome = self.outcome or ("rejected" if self.behaviour == "reject" else "closed")
            self.transport.close()
        elif action:
            self.outcome = self.outcome or "stalled"
        if action:
            await asyncio.Event().wait()  # cancelled when the connection goes


class Handler:
    async def handle_DATA(self, server, session, envelope):
        emit("MESSAGE " + b64(envelope.original_content or b""))
        return "250 Message accepted for delivery"


class Peer:
    def __init__(self):
        self.faults = {}
        for item in args.reply:
            step, _, text = item.partition("=")
            self.faults[step] = (text.replace("\\r", "\r").replace("\\n", "\n").replace("\\\\", "\\").encode(), None)
        for action in ("close", "stall", "flood", "garbage"):
            for step in getattr(args, action):
                self.faults[step] = (self.faults.get(step, (b"",))[0], action)
        self.log = open(args.log, "a") if args.log else None
        self.connections = 0

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        ok = auth_data.login == args.user.encode() and auth_data.password == args.password.encode()
        emit("AUTH %s %s %s %s" % ("ok" if ok else "fail", b64(auth_data.login), b64(auth_data.password), mechanism))
        return AuthResult(success=ok, handled=False)

    def factory(self, tls_context):
        self.connections += 1
        behaviour = args.cycle.split(",")[(self.connections - 1) % len(args.cycle.split(","))] if args.cycle else "plain"
        starttls = args.security == "starttls"
        return FaultySMTP(self, self.connections, behaviour, hostname="127.0.0.1", ident="vistrel test peer",
                          enable_SMTPUTF8=True, authenticator=self.authenticate,
                          auth_exclude_mechanism=["PLAIN"] if args.only_login else None,
                          auth_require_tls=starttls, tls_context=tls_context if starttls else None,
                          require_starttls=starttls)


async def serve():
    peer, tls_context, ready = Peer(), None, ""
    if args.security != "none":
        cert, key = args.tls_cert, args.tls_key
        if not cert:
            folder = tempfile.mkdtemp(prefix="smtp-peer-")
            cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout", key,
                            "-out", cert], check=True, capture_output=True)
        tls_context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls_context.load_cert_chain(cert, key)
        ready = " CERT " + cert
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: peer.factory(tls_context), "127.0.0.1", 0,
                                      ssl=tls_context if args.security == "tls" else None)
    emit("PORT %d%s" % (server.sockets[0].getsockname()[1], ready))
    ended = asyncio.Event()
    loop.add_reader(sys.stdin.fileno(), lambda: os.read(sys.stdin.fileno(), 4096) or ended.set())
    try:
        await asyncio.wait_for(ended.wait(), args.lifetime)
    except asyncio.TimeoutError:
        pass
    if ready and not args.tls_cert:
        shutil.rmtree(os.path.dirname(cert), True)


def main():
    global args
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--security", choices=("none", "starttls", "tls"), default="none")
    for name in ("--tls-cert", "--tls-key", "--cycle", "--log"):
        parser.add_argument(name)
    parser.add_argument("--user", default="alice")
    parser.add_argument("--password", default="secret")
    for name in ("--only-login", "--multiline", "--quiet"):
        parser.add_argument(name, action="store_true")
    for name in ("--reply", "--close", "--stall", "--flood", "--garbage"):
        parser.add_argument(name, action="append", default=[])
    parser.add_argument("--split", type=int, default=0)
    parser.add_argument("--flood-bytes", type=int, default=70000)
    for name, default in (("--split-pause", 0.05), ("--delay", 0.0), ("--lifetime", 300.0)):
        parser.add_argument(name, type=float, default=default)
    args = parser.parse_args()
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)  # aiosmtpd's notes on its own deprecations
    asyncio.run(serve())
    os._exit(0)  # connections still stalled must not keep the peer alive


if __name__ == "__main__":
    sys.exit(main())
