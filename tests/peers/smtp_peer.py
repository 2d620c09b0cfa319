#!/usr/bin/python3
"""Runs aiosmtpd on 127.0.0.1 for the tests and stops it by itself.

AUTH LOGIN is offered without TLS and accepts only --user / --password. Every byte a client sends
is printed as "RAW <base64>", every accepted message as "MESSAGE <base64 of its content>", every
authentication attempt as "AUTH <ok|fail> <base64 user> <base64 password>". Prints
"PORT <port>" when ready; stops when standard input closes or after --lifetime seconds.
"""
import argparse
import base64
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

from peerlib import emit, free_port, wait_for_end


def b64(data):
    return base64.b64encode(data).decode("ascii")


class RecordingSMTP(SMTP):
    def data_received(self, data):
        emit("RAW " + b64(data))
        super().data_received(data)


class Handler:
    async def handle_DATA(self, server, session, envelope):
        emit("MESSAGE " + b64(envelope.original_content or b""))
        return "250 Message accepted for delivery"


class RecordingController(Controller):
    def factory(self):
        return RecordingSMTP(self.handler, **self.SMTP_kwargs)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", default="alice")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--lifetime", type=float, default=300.0)
    args = parser.parse_args()
    user = args.user.encode("utf-8")
    password = args.password.encode("utf-8")

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (mechanism == "LOGIN" and isinstance(auth_data, LoginPassword)
              and auth_data.login == user and auth_data.password == password)
        if isinstance(auth_data, LoginPassword):
            emit("AUTH %s %s %s" % ("ok" if ok else "fail", b64(auth_data.login), b64(auth_data.password)))
        return AuthResult(success=ok, handled=False)

    controller = None
    for attempt in range(5):
        port = free_port()
        try:
            controller = RecordingController(Handler(), hostname="127.0.0.1", port=port,
                                             auth_require_tls=False, authenticator=authenticator,
                                             auth_exclude_mechanism=["PLAIN"], enable_SMTPUTF8=True,
                                             ident="vistrel test peer")
            controller.start()
            break
        except Exception as error:  # port taken meanwhile: try another
            sys.stderr.write("start failed: %r\n" % (error,))
            controller = None
    if controller is None:
        emit("FAILED")
        return 1
    emit("PORT %d" % port)
    try:
        wait_for_end(args.lifetime)
    finally:
        controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
