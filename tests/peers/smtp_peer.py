#!/usr/bin/python3
"""The tests' mail server: aiosmtpd on 127.0.0.1, plain or TLS, with its faults chosen by option.

Prints "PORT <port>" (and " CERT <file>" in a TLS mode) when ready; stops when standard input closes
or after --lifetime seconds. Every connection n (from 1) prints "CONNECTION <n>"; every byte a client
sends is printed as "RAW <base64>" (after TLS: the decrypted bytes), every byte written as
"SENT <base64>", every accepted message as "MESSAGE <base64 of its content>", every authentication
attempt as "AUTH <ok|fail> <base64 user> <base64 password> <mechanism>".

Security (--security):
  none       plain SMTP (default); AUTH LOGIN and AUTH PLAIN offered without TLS
  starttls   STARTTLS required before any other command but EHLO/NOOP/QUIT; AUTH only after it
  tls        implicit TLS: the handshake comes first, then the dialogue
  --tls-cert FILE --tls-key FILE give the server's certificate (PEM); without them a self-signed one
  for 127.0.0.1 / localhost is made and its file is named in the ready line.

Steps, the names of the replies a fault applies to: greeting, helo, ehlo, starttls, auth (the reply to
AUTH), user (the reply to the user name), password (the reply to the password), mail, rcpt, data (the
354), message (the reply after the message), quit, rset, noop.

Faults (apply to every connection unless --cycle says otherwise):
  --reply STEP=TEXT  write TEXT in place of that reply; TEXT is written as given (no line end is added),
                     "\\r", "\\n" and "\\\\" are escapes; repeatable
  --close STEP       close the connection at that step (after any --reply text for it); repeatable
  --stall STEP       never answer from that step on (after any --reply text for it); repeatable
  --flood STEP       write --flood-bytes (70000) bytes without a line end at that step, then stall
  --garbage STEP     after that step's reply, write bytes that are no TLS record, then stall (a server
                     that says 220 to STARTTLS and never speaks TLS)
  --split N          write every reply in pieces of at most N bytes, --split-pause seconds apart (0.05)
  --multiline        send every reply but 334 as two lines: "<code>-vistrel test peer" and the reply
  --delay SECONDS    wait before every reply
  --cycle LIST       connection n (from 0) behaves as LIST[n % len], LIST of accept, reject (550 to
                     HELO/EHLO, then close), stall (never says anything), close (greeting, then close at
                     the first command); e.g. --cycle accept,reject,stall,close
  --log FILE         append "<monotonic> <n> <behaviour> <outcome>" per connection when it ends; outcome
                     is accepted (a message was taken), rejected, stalled, closed or ended
  --quiet            print nothing but the ready line (for a reader that does not read on)
Authentication: --user / --password (default alice / secret) are the only accepted credentials;
--no-auth offers no AUTH; --only-login offers AUTH LOGIN alone; --auth-required refuses MAIL before AUTH.
"""
import argparse
import asyncio
import atexit
import base64
import functools
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import time
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

STALL = object()


def b64(data):
    return base64.b64encode(data).decode("ascii")


QUIET = False


def emit(line):
    if QUIET and not line.startswith("PORT"):
        return
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def unescape(text):
    return text.replace("\\r", "\r").replace("\\n", "\n").replace("\\\\", "\\").encode("utf-8")


class FaultySMTP(SMTP):
    AuthLoginUsernameChallenge = "Username:"
    AuthLoginPasswordChallenge = "Password:"

    def __init__(self, handler, peer, number, behaviour, **kwargs):
        super().__init__(handler, **kwargs)
        self.peer, self.number, self.behaviour = peer, number, behaviour
        self.step, self.pushes, self.outcome, self.collected = "greeting", 0, None, None
        self.faults = dict(peer.faults)
        if behaviour == "reject":
            self.faults["helo"] = self.faults["ehlo"] = (b"550 5.7.1 Not today\r\n", "close")
        elif behaviour == "stall":
            self.faults["greeting"] = (b"", "stall")
        elif behaviour == "close":
            for step in ("helo", "ehlo", "mail", "quit", "rset", "noop", "starttls", "auth"):
                self.faults[step] = (b"", "close")
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

    def _current_step(self):
        names = {"auth": ("auth", "user", "password"), "data": ("data", "message")}.get(self.step, (self.step,))
        step = names[min(self.pushes, len(names) - 1)]
        self.pushes += 1
        return step

    def data_received(self, data):
        emit("RAW " + b64(data))
        super().data_received(data)

    def connection_made(self, transport):
        if self.transport is None:
            emit("CONNECTION %d" % self.number)
        super().connection_made(transport)

    def connection_lost(self, error):
        self.peer.log_outcome(self)
        super().connection_lost(error)

    async def _write(self, data):
        emit("SENT " + b64(data))
        size = self.peer.split or len(data) or 1
        for at in range(0, len(data), size):
            self._writer.write(data[at:at + size])
            await self._writer.drain()
            if self.peer.split and at + size < len(data):
                await asyncio.sleep(self.peer.split_pause)

    async def push(self, status):
        response = status.encode("utf-8") if isinstance(status, str) else status
        if self.collected is not None:
            self.collected.append(response)
            return
        step = self._current_step()
        if self.peer.delay:
            await asyncio.sleep(self.peer.delay)
        fault = self.faults.get(step)
        if fault is None:
            if self.peer.multiline and not response.startswith(b"334") and b"\n" not in response:
                response = response[:3] + b"-vistrel test peer\r\n" + response
            await self._write(response + b"\r\n")
            if step == "message" and response.startswith(b"250"):
                self.outcome = "accepted"
            return
        text, action = fault
        if text:
            await self._write(text)
        if action == "flood":
            await self._write(b"x" * self.peer.args.flood_bytes)
            action = "stall"
        if action == "garbage":
            await asyncio.sleep(0.2)  # the client has begun its handshake
            await self._write(b"\x00\xffnot a TLS record\r\n" * 8)
            action = "stall"
        if action == "close":
            self.outcome = self.outcome or ("rejected" if self.behaviour == "reject" else "closed")
            self.transport.close()
        if action in ("close", "stall"):
            if action == "stall":
                self.outcome = self.outcome or "stalled"
            await asyncio.Event().wait()  # cancelled when the connection goes


class Handler:
    async def handle_DATA(self, server, session, envelope):
        emit("MESSAGE " + b64(envelope.original_content or b""))
        return "250 Message accepted for delivery"


class Peer:
    def __init__(self, args):
        self.args = args
        self.delay, self.split, self.split_pause, self.multiline = args.delay, args.split, args.split_pause, args.multiline
        self.faults = {}
        for item in args.reply:
            step, _, text = item.partition("=")
            self.faults[step] = (unescape(text), None)
        for action, steps in (("close", args.close), ("stall", args.stall), ("flood", args.flood),
                              ("garbage", args.garbage)):
            for step in steps:
                self.faults[step] = (self.faults.get(step, (b"", None))[0], action)
        self.cycle = args.cycle.split(",") if args.cycle else None
        self.log = open(args.log, "a") if args.log else None
        self.connections = 0
        self.user, self.password = args.user.encode("utf-8"), args.password.encode("utf-8")

    def log_outcome(self, smtp):
        if self.log and not getattr(smtp, "logged", False):
            smtp.logged = True
            self.log.write("%.3f %d %s %s\n" % (time.monotonic(), smtp.number - 1, smtp.behaviour,
                                                smtp.outcome or "ended"))
            self.log.flush()

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        ok = auth_data.login == self.user and auth_data.password == self.password
        emit("AUTH %s %s %s %s" % ("ok" if ok else "fail", b64(auth_data.login), b64(auth_data.password), mechanism))
        return AuthResult(success=ok, handled=False)

    def factory(self, tls_context):
        self.connections += 1
        n = self.connections
        behaviour = self.cycle[(n - 1) % len(self.cycle)] if self.cycle else "plain"
        args = self.args
        return FaultySMTP(Handler(), self, n, behaviour, hostname="127.0.0.1", ident="vistrel test peer",
                          enable_SMTPUTF8=True, authenticator=self.authenticate,
                          auth_exclude_mechanism=["LOGIN", "PLAIN"] if args.no_auth
                          else ["PLAIN"] if args.only_login else None,
                          auth_required=args.auth_required, auth_require_tls=args.security == "starttls",
                          tls_context=tls_context if args.security == "starttls" else None,
                          require_starttls=args.security == "starttls")


def make_certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                    "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    return cert, key


async def serve(args):
    peer = Peer(args)
    tls_context, ready = None, ""
    if args.security != "none":
        cert, key = args.tls_cert, args.tls_key
        if not cert:
            folder = tempfile.mkdtemp(prefix="smtp-peer-")
            atexit.register(shutil.rmtree, folder, True)
            cert, key = make_certificate(folder)
        tls_context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls_context.load_cert_chain(cert, key)
        ready = " CERT " + cert
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: peer.factory(tls_context), "127.0.0.1", 0,
                                      ssl=tls_context if args.security == "tls" else None)
    emit("PORT %d%s" % (server.sockets[0].getsockname()[1], ready))
    ended = asyncio.Event()

    def on_stdin():
        if not os.read(sys.stdin.fileno(), 4096):
            ended.set()
    loop.add_reader(sys.stdin.fileno(), on_stdin)
    try:
        await asyncio.wait_for(ended.wait(), args.lifetime)
    except asyncio.TimeoutError:
        pass
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--security", choices=("none", "starttls", "tls"), default="none")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--user", default="alice")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--no-auth", action="store_true")
    parser.add_argument("--auth-required", action="store_true")
    parser.add_argument("--reply", action="append", default=[], metavar="STEP=TEXT")
    parser.add_argument("--close", action="append", default=[], metavar="STEP")
    parser.add_argument("--stall", action="append", default=[], metavar="STEP")
    parser.add_argument("--flood", action="append", default=[], metavar="STEP")
    parser.add_argument("--flood-bytes", type=int, default=70000, metavar="N")
    parser.add_argument("--garbage", action="append", default=[], metavar="STEP")
    parser.add_argument("--only-login", action="store_true")
    parser.add_argument("--split", type=int, default=0, metavar="N")
    parser.add_argument("--split-pause", type=float, default=0.05, metavar="SECONDS")
    parser.add_argument("--multiline", action="store_true")
    parser.add_argument("--delay", type=float, default=0.0, metavar="SECONDS")
    parser.add_argument("--cycle", metavar="LIST")
    parser.add_argument("--log", metavar="FILE")
    parser.add_argument("--quiet", action="store_true")
    parser.add_argument("--lifetime", type=float, default=300.0, metavar="SECONDS")
    args = parser.parse_args()
    warnings.simplefilter("ignore")
    global QUIET
    QUIET = args.quiet
    asyncio.run(serve(args))
    atexit._run_exitfuncs()
    os._exit(0)  # connections still stalled must not keep the peer alive


if __name__ == "__main__":
    sys.exit(main())
