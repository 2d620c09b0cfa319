#!/usr/bin/python3
"""An SSL 2.0 mail server for the tests, built on scapy's TLS server automaton, on 127.0.0.1.

Every record, key and MAC on the server side comes from scapy (TLSServerAutomaton with its SSLv2
record and handshake classes); inside the channel the decrypted bytes are relayed to an aiosmtpd
server started here, so the client speaks a real SMTP dialogue (AUTH LOGIN offered, optional).

One automaton listens per behaviour, each on a port of its own; the ready line names them:
  "READY normal <port> trickle <port> ... SMTP <port>"
Behaviours:
  normal            the whole dialogue; SERVER-FINISHED and the greeting leave in one write
  trickle           every byte the server sends leaves in a write of its own
  split_replies     every SMTP reply is cut into two records, sent 30 ms apart
  two_replies       no SMTP: one record holding "220 one\\r\\n250 two\\r\\n"
  split_reply       no SMTP: "220 split " and "reply\\r\\n" in two records, 50 ms apart
  bad_challenge     SERVER-VERIFY returns a challenge that is not the client's
  bad_verify_mac    SERVER-VERIFY with a wrong MAC
  bad_finished_mac  SERVER-FINISHED with a wrong MAC
  bad_data_mac      the greeting record with a wrong MAC, 50 ms after SERVER-FINISHED
  no_modulus        a certificate with a 2048-bit key (no 1024-bit modulus in it)
  short_hello       SERVER-HELLO whose certificate length runs past the end of the record
  close_hello       closes on CLIENT-HELLO
  close_master_key  closes on CLIENT-MASTER-KEY
  close_finished    closes on CLIENT-FINISHED (SERVER-VERIFY sent, no SERVER-FINISHED)
  close_established closes right after SERVER-FINISHED

A bad client MAC, a wrong connection-id or a short challenge prints "FAIL <behaviour> <reason>" and
drops the connection. After each connection without injected faults, ssl2_crosscheck.py recomputes
the whole transcript and prints "CROSSCHECK OK ..." or "CROSSCHECK FAIL ...". Delivered mail prints
"MAIL <from> <to> <user or -> <base64 of the data>".

Stops when standard input closes or after --lifetime seconds.
"""
import argparse
import base64
import os
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time

import logging
logging.getLogger("scapy.runtime").setLevel(logging.ERROR)
logging.getLogger("mail.log").setLevel(logging.CRITICAL)

from scapy.automaton import ATMT  # noqa: E402
from scapy.packet import Raw  # noqa: E402
from scapy.compat import raw  # noqa: E402
from scapy.layers.tls.automaton_srv import TLSServerAutomaton  # noqa: E402
from scapy.layers.tls.handshake_sslv2 import (SSLv2ClientFinished, SSLv2ClientHello,  # noqa: E402
                                              SSLv2ServerFinished, SSLv2ServerHello, SSLv2ServerVerify)
from scapy.layers.tls.record_sslv2 import SSLv2  # noqa: E402
from scapy.utils import randstring  # noqa: E402

from aiosmtpd.controller import Controller  # noqa: E402
from aiosmtpd.smtp import AuthResult  # noqa: E402

import ssl2_crosscheck  # noqa: E402
from peerlib import emit as say, free_port, wait_for_end  # noqa: E402

USER = b"vistrel"
PASSWORD = b"secret"
BEHAVIOURS = ["normal", "trickle", "split_replies", "two_replies", "split_reply", "bad_challenge",
              "bad_verify_mac", "bad_finished_mac", "bad_data_mac", "no_modulus", "short_hello",
              "close_hello", "close_master_key", "close_finished", "close_established"]
FAULTY = {"bad_challenge", "bad_verify_mac", "bad_finished_mac", "bad_data_mac", "no_modulus", "short_hello"}

failures = threading.local()


# Stock scapy logs a failed record MAC and carries on; record it for the automaton of this thread.
_stock_mac_verify = SSLv2._sslv2_mac_verify


def _strict_mac_verify(self, msg, mac):
    ok = _stock_mac_verify(self, msg, mac)
    if not ok:
        if not hasattr(failures, "list"):
            failures.list = []
        failures.list.append("bad MAC in a client record")
    return ok


SSLv2._sslv2_mac_verify = _strict_mac_verify


class RecordingSocket:
    """The accepted socket, keeping every byte in both directions for the cross-check."""

    def __init__(self, sock, transcript):
        self.sock = sock
        self.transcript = transcript

    def fileno(self):
        return self.sock.fileno()

    def recv(self, n):
        data = self.sock.recv(n)
        if data:
            self.transcript.append(("C", data))
        return data

    def send(self, data):
        self.sendall(data)
        return len(data)

    def sendall(self, data):
        self.transcript.append(("S", bytes(data)))
        self.sock.sendall(data)

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()


class Ssl2SmtpServer(TLSServerAutomaton):
    def parse_args(self, behaviour="normal", smtp_port=0, keyfile=None, **kargs):
        super().parse_args(**kargs)
        self.behaviour = behaviour
        self.smtp_port = smtp_port
        self.keyfile = keyfile
        self.bound_port = None
        self.ready = threading.Event()
        self.transcript = []
        self.smtp = None
        self.corrupt = None

    # --- connection handling ---------------------------------------------------------------

    @ATMT.state()
    def BIND(self):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.bind(("127.0.0.1", 0))
        s.listen(4)
        self.serversocket = s
        self.bound_port = s.getsockname()[1]
        self.ready.set()
        raise self.WAITING_CLIENT()

    @ATMT.state()
    def WAITING_CLIENT(self):
        self.buffer_out = []
        self.buffer_in = []
        self.remain_in = b""
        self.transcript = []
        self.corrupt = None
        failures.list = []
        if self.smtp is not None:
            self.smtp.close()
            self.smtp = None
        sock, addr = self.serversocket.accept()
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.socket = RecordingSocket(sock, self.transcript)
        self.remote_ip, self.remote_port = addr[0], addr[1]
        raise self.INIT_TLS_SESSION()

    @ATMT.state()
    def SOCKET_CLOSED(self):
        transcript = list(self.transcript)
        self.end_connection()
        if self.behaviour not in FAULTY and any(d == "S" for d, _ in transcript):
            say(ssl2_crosscheck.check(transcript, self.keyfile))
        raise self.WAITING_CLIENT()

    def end_connection(self):
        self.check_failures()
        try:
            self.socket.close()
        except OSError:
            pass

    def drop(self, reason):
        say("FAIL %s %s" % (self.behaviour, reason))
        self.socket.close()
        raise self.WAITING_CLIENT()

    def check_failures(self):
        found = getattr(failures, "list", [])
        if found:
            failures.list = []
            self.drop("; ".join(found))

    def close_here(self, step):
        say("CLOSED %s %s" % (self.behaviour, step))
        self.socket.close()
        raise self.WAITING_CLIENT()

    def flush_records(self):
        s = b"".join(p.raw_stateful() for p in self.buffer_out)
        self.buffer_out = []
        if self.corrupt is not None:
            s = self.corrupt(s)
            self.corrupt = None
        self.write(s)

    def write(self, s):
        if self.behaviour == "trickle":
            for i in range(len(s)):
                self.socket.sendall(s[i:i + 1])
                time.sleep(0.0005)
        else:
            self.socket.sendall(s)

    @staticmethod
    def flip_mac(s):
        # RC4 is a stream cipher: flipping a ciphertext bit flips the same plaintext bit, here the
        # first MAC byte of the first record, and leaves the key streams in step.
        return s[:2] + bytes([s[2] ^ 0x01]) + s[3:]

    # --- handshake -------------------------------------------------------------------------

    @ATMT.condition(TLSServerAutomaton.RECEIVED_CLIENTFLIGHT1, prio=2)
    def sslv2_should_handle_ClientHello(self):
        self.check_failures()
        if self.buffer_in and isinstance(self.buffer_in[0], SSLv2ClientHello):
            if len(self.buffer_in[0].challenge) != 16:
                self.drop("challenge of %d bytes" % len(self.buffer_in[0].challenge))
            if self.behaviour == "close_hello":
                self.close_here("after CLIENT-HELLO")
        self.raise_on_packet(SSLv2ClientHello, self.SSLv2_HANDLED_CLIENTHELLO)

    @ATMT.condition(TLSServerAutomaton.SSLv2_HANDLED_CLIENTHELLO)
    def sslv2_should_add_ServerHello(self):
        self.add_record(is_sslv2=True)
        hello = SSLv2ServerHello(cert=self.mycert, ciphers=[0x010080], connection_id=randstring(16))
        if self.behaviour == "short_hello":
            hello.certlen = len(self.mycert.der) + 40
        self.add_msg(hello)
        raise self.SSLv2_ADDED_SERVERHELLO()

    @ATMT.state()
    def SSLv2_HANDLED_CLIENTMASTERKEY(self):
        self.check_failures()
        if self.behaviour == "close_master_key":
            self.close_here("after CLIENT-MASTER-KEY")
        raise self.SSLv2_RECEIVED_CLIENTFINISHED()

    @ATMT.condition(TLSServerAutomaton.SSLv2_RECEIVED_CLIENTFINISHED, prio=1)
    def sslv2_should_handle_ClientFinished(self):
        # The client sends CLIENT-FINISHED only after SERVER-VERIFY: do not wait for it first.
        sent = [type(m) for m in self.cur_session.handshake_messages_parsed]
        if SSLv2ServerVerify not in sent:
            return
        self.raise_on_packet(SSLv2ClientFinished, self.SSLv2_HANDLED_CLIENTFINISHED)

    @ATMT.condition(TLSServerAutomaton.SSLv2_RECEIVED_CLIENTFINISHED, prio=2)
    def sslv2_should_add_ServerVerify_from_NoClientFinished(self):
        sent = [type(m) for m in self.cur_session.handshake_messages_parsed]
        if SSLv2ServerVerify in sent:
            return
        self.add_record(is_sslv2=True)
        challenge = self.cur_session.sslv2_challenge
        if self.behaviour == "bad_challenge":
            challenge = bytes(b ^ 0x5A for b in challenge)
        if self.behaviour == "bad_verify_mac":
            self.corrupt = self.flip_mac
        self.add_msg(SSLv2ServerVerify(challenge=challenge))
        raise self.SSLv2_ADDED_SERVERVERIFY()

    @ATMT.condition(TLSServerAutomaton.SSLv2_HANDLED_CLIENTFINISHED, prio=3)
    def sslv2_should_add_ServerFinished(self):
        self.check_failures()
        finished = [m for m in self.cur_session.handshake_messages_parsed if isinstance(m, SSLv2ClientFinished)]
        if not finished or finished[-1].connection_id != self.cur_session.sslv2_connection_id:
            self.drop("wrong connection-id in CLIENT-FINISHED")
        if self.behaviour == "close_finished":
            self.close_here("after CLIENT-FINISHED")
        if self.behaviour == "bad_finished_mac":
            self.corrupt = self.flip_mac
        self.add_record(is_sslv2=True)
        self.add_msg(SSLv2ServerFinished(sid=randstring(16)))
        if self.behaviour not in ("close_established", "two_replies", "split_reply", "bad_finished_mac"):
            # SERVER-FINISHED and the greeting leave together, in one write.
            self.smtp = socket.create_connection(("127.0.0.1", self.smtp_port))
            greeting = self.read_smtp_reply()
            self.add_record(is_sslv2=True)
            self.add_msg(Raw(greeting))
            if self.behaviour == "bad_data_mac":
                first = self.buffer_out[0].raw_stateful()
                second = self.buffer_out[1].raw_stateful()
                self.buffer_out = []
                self.write(first)
                time.sleep(0.05)  # the client has reported the session established when the bad record comes
                self.write(self.flip_mac(second))
                raise self.SSLv2_SENT_SERVERFINISHED()
            if self.behaviour == "split_replies":
                self.buffer_out.pop()
                self.flush_records()
                self.send_app(greeting)
                raise self.SSLv2_SENT_SERVERFINISHED()
        raise self.SSLv2_ADDED_SERVERFINISHED()

    @ATMT.state()
    def SSLv2_SENT_SERVERFINISHED(self):
        if self.behaviour == "close_established":
            self.close_here("after SERVER-FINISHED")
        if self.behaviour == "two_replies":
            self.send_record(b"220 one\r\n250 two\r\n")
        if self.behaviour == "split_reply":
            self.send_record(b"220 split ")
            time.sleep(0.05)
            self.send_record(b"reply\r\n")
        raise self.SSLv2_WAITING_CLIENTDATA()

    # --- application data ------------------------------------------------------------------

    def read_smtp_reply(self):
        data = b""
        while not data.endswith(b"\r\n"):
            chunk = self.smtp.recv(65536)
            if not chunk:
                break
            data += chunk
        return data

    def send_record(self, data):
        self.add_record(is_sslv2=True)
        self.add_msg(Raw(data))
        self.flush_records()

    def send_app(self, data):
        if self.behaviour == "split_replies" and len(data) > 1:
            half = len(data) // 2
            self.send_record(data[:half])
            time.sleep(0.03)
            self.send_record(data[half:])
        else:
            self.send_record(data)

    @ATMT.state()
    def SSLv2_WAITING_CLIENTDATA(self):
        deadline = time.monotonic() + self.max_client_idle_time
        while time.monotonic() < deadline:
            sources = [self.socket] + ([self.smtp] if self.smtp is not None else [])
            ready, _, _ = select.select(sources, [], [], 1.0)
            if self.smtp is not None and self.smtp in ready:
                data = self.smtp.recv(65536)
                if not data:
                    self.smtp.close()
                    self.smtp = None
                    continue
                self.send_app(data)
            if self.socket in ready:
                self.get_next_msg(0.5, 1)
                self.check_failures()
                while self.buffer_in:
                    p = self.buffer_in.pop(0)
                    data = p.load if hasattr(p, "load") else raw(p)
                    if self.smtp is not None:
                        self.smtp.sendall(data)
        self.close_here("idle")



class Recorder:
    async def handle_DATA(self, server, session, envelope):
        login = session.auth_data
        user = login.decode() if isinstance(login, bytes) else "-"
        say("MAIL %s %s %s %s" % (envelope.mail_from, ",".join(envelope.rcpt_tos), user,
                                  base64.b64encode(envelope.original_content).decode()))
        return "250 Message accepted for delivery"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = mechanism in ("LOGIN", "PLAIN") and auth_data.login == USER and auth_data.password == PASSWORD
    return AuthResult(success=ok, auth_data=auth_data.login if ok else None)


def make_cert(work, bits):
    key = os.path.join(work, "key%d.pem" % bits)
    cert = os.path.join(work, "cert%d.pem" % bits)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:%d" % bits, "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True)
    return cert, key


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lifetime", type=float, default=300.0)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-ssl2-")
    try:
        cert, key = make_cert(work, 1024)
        cert2048, key2048 = make_cert(work, 2048)
        smtp_port = free_port()
        controller = Controller(Recorder(), hostname="127.0.0.1", port=smtp_port, authenticator=authenticate,
                                auth_require_tls=False, auth_required=False)
        controller.start()
        servers = {}
        for behaviour in BEHAVIOURS:
            c, k = (cert2048, key2048) if behaviour == "no_modulus" else (cert, key)
            server = Ssl2SmtpServer(behaviour=behaviour, smtp_port=smtp_port, keyfile=k, mycert=c, mykey=k,
                                         is_echo_server=False, max_client_idle_time=60, verbose=False)
            server.runbg()
            servers[behaviour] = server
        for server in servers.values():
            if not server.ready.wait(20):
                raise RuntimeError("an automaton did not bind")
    except Exception as e:  # noqa: BLE001
        sys.stderr.write("%s\n" % e)
        print("FAILED", flush=True)
        os._exit(1)
    say("READY " + " ".join("%s %d" % (b, s.bound_port) for b, s in servers.items())
        + " SMTP %d KEY %s CERT %s" % (smtp_port, key, cert))
    wait_for_end(args.lifetime)
    time.sleep(0.2)  # let a last cross-check or mail line out
    sys.stdout.flush()
    try:
        controller.stop()
    except Exception:  # noqa: BLE001
        pass
    subprocess.run(["rm", "-rf", work])
    os._exit(0)


if __name__ == "__main__":
    main()
