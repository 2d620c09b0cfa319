#!/usr/bin/python3
"""SSL 2.0 mail server (scapy) on 127.0.0.1 relaying to smtp_peer.py at --relay; ready line "PORT <normal>
trickle <port> ..." with one port per behaviour in BEHAVIOURS. A bad client record prints "FAIL <behaviour> <reason>".
"""
import argparse
import logging
import os
import select
import shutil
import socket
import subprocess
import tempfile
import threading
import time

logging.getLogger("scapy.runtime").setLevel(logging.ERROR)
from scapy.automaton import ATMT  # noqa: E402
from scapy.compat import raw  # noqa: E402
from scapy.layers.tls.automaton_srv import TLSServerAutomaton  # noqa: E402
from scapy.layers.tls.handshake_sslv2 import (SSLv2ClientFinished, SSLv2ClientHello,  # noqa: E402
                                              SSLv2ServerFinished, SSLv2ServerHello, SSLv2ServerVerify)
from scapy.layers.tls.record_sslv2 import SSLv2  # noqa: E402
from scapy.packet import Raw  # noqa: E402
from scapy.utils import randstring  # noqa: E402

from peerlib import emit, wait_for_end  # noqa: E402

BEHAVIOURS = ["normal", "trickle", "bad_challenge", "short_verify", "bad_verify_mac", "bad_finished_mac",
              "bad_data_mac", "short_data", "no_modulus", "short_hello"]
failures = threading.local()
_stock_mac_verify = SSLv2._sslv2_mac_verify


def _strict_mac_verify(self, msg, mac):
    # Stock scapy logs a failed record MAC and carries on; keep it for this thread's automaton.
    ok = _stock_mac_verify(self, msg, mac)
    if not ok:
        failures.found = "bad MAC in a client record"
    return ok


SSLv2._sslv2_mac_verify = _strict_mac_verify


def flip_mac(s):
    # RC4 is a stream cipher: flip the first MAC byte of the first record, key streams stay in step.
    return s[:2] + bytes([s[2] ^ 0x01]) + s[3:]


class Ssl2SmtpServer(TLSServerAutomaton):
    def parse_args(self, behaviour="normal", relay=0, **kargs):
        super().parse_args(**kargs)
        self.behaviour, self.relay = behaviour, relay
        self.ready, self.smtp, self.corrupt = threading.Event(), None, None

    @ATMT.state()
    def BIND(self):
        self.serversocket = socket.socket()
        self.serversocket.bind(("127.0.0.1", 0))
        self.serversocket.listen(4)
        self.bound_port = self.serversocket.getsockname()[1]
        self.ready.set()
        raise self.WAITING_CLIENT()

    @ATMT.state()
    def WAITING_CLIENT(self):
        self.buffer_out, self.buffer_in, self.remain_in, self.corrupt = [], [], b"", None
        failures.found = None
        if self.smtp is not None:
            self.smtp.close()
            self.smtp = None
        self.socket, addr = self.serversocket.accept()
        self.socket.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.remote_ip, self.remote_port = addr
        raise self.INIT_TLS_SESSION()

    @ATMT.state()
    def SOCKET_CLOSED(self):
        self.check_failures()
        self.socket.close()
        raise self.WAITING_CLIENT()

    def drop(self, reason):
        emit("FAIL %s %s" % (self.behaviour, reason))
        self.socket.close()
        raise self.WAITING_CLIENT()

    def check_failures(self):
        if getattr(failures, "found", None):
            self.drop(failures.found)

    def flush_records(self):
        s = b"".join(p.raw_stateful() for p in self.buffer_out)
        self.buffer_out = []
        if self.corrupt is not None:
            s, self.corrupt = self.corrupt(s), None
        self.write(s)

    def write(self, s):
        if self.behaviour != "trickle":
            return self.socket.sendall(s)
        for i in range(len(s)):
            self.socket.sendall(s[i:i + 1])
            time.sleep(0.0005)

    @ATMT.condition(TLSServerAutomaton.RECEIVED_CLIENTFLIGHT1, prio=2)
    def sslv2_should_handle_ClientHello(self):
        if self.buffer_in and isinstance(self.buffer_in[0], SSLv2ClientHello):
            if len(self.buffer_in[0].challenge) != 16:
                self.drop("challenge of %d bytes" % len(self.buffer_in[0].challenge))
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
        raise self.SSLv2_RECEIVED_CLIENTFINISHED()

    def sent_server_verify(self):
        return any(isinstance(m, SSLv2ServerVerify) for m in self.cur_session.handshake_messages_parsed)

    @ATMT.condition(TLSServerAutomaton.SSLv2_RECEIVED_CLIENTFINISHED, prio=1)
    def sslv2_should_handle_ClientFinished(self):
        # The client sends CLIENT-FINISHED only after SERVER-VERIFY: do not wait for it first.
        if self.sent_server_verify():
            self.raise_on_packet(SSLv2ClientFinished, self.SSLv2_HANDLED_CLIENTFINISHED)

    @ATMT.condition(TLSServerAutomaton.SSLv2_RECEIVED_CLIENTFINISHED, prio=2)
    def sslv2_should_add_ServerVerify_from_NoClientFinished(self):
        if self.sent_server_verify():
            return
        if self.behaviour == "short_verify":
            self.write(b"\x80\x20" + b"v" * 32)
            raise self.SSLv2_WAITING_CLIENTDATA()
        self.add_record(is_sslv2=True)
        challenge = self.cur_session.sslv2_challenge
        if self.behaviour == "bad_challenge":
            challenge = bytes(b ^ 0x5A for b in challenge)
        if self.behaviour == "bad_verify_mac":
            self.corrupt = flip_mac
        self.add_msg(SSLv2ServerVerify(challenge=challenge))
        raise self.SSLv2_ADDED_SERVERVERIFY()

    @ATMT.condition(TLSServerAutomaton.SSLv2_HANDLED_CLIENTFINISHED, prio=3)
    def sslv2_should_add_ServerFinished(self):
        self.check_failures()
        finished = [m for m in self.cur_session.handshake_messages_parsed if isinstance(m, SSLv2ClientFinished)]
        if not finished or finished[-1].connection_id != self.cur_session.sslv2_connection_id:
            self.drop("wrong connection-id in CLIENT-FINISHED")
        if self.behaviour == "bad_finished_mac":
            self.corrupt = flip_mac
        self.add_record(is_sslv2=True)
        self.add_msg(SSLv2ServerFinished(sid=randstring(16)))
        if self.behaviour == "bad_finished_mac":
            raise self.SSLv2_ADDED_SERVERFINISHED()
        # SERVER-FINISHED and the greeting leave together, in one write.
        self.smtp = socket.create_connection(("127.0.0.1", self.relay))
        greeting = b""
        while not greeting.endswith(b"\r\n"):
            chunk = self.smtp.recv(65536)
            if not chunk:
                break
            greeting += chunk
        self.add_record(is_sslv2=True)
        self.add_msg(Raw(greeting))
        if self.behaviour in ("bad_data_mac", "short_data"):
            first, second = (p.raw_stateful() for p in self.buffer_out)
            self.buffer_out = []
            self.write(first)
            time.sleep(0.05)  # the client has reported the session established when the bad record comes
            self.write(flip_mac(second) if self.behaviour == "bad_data_mac" else b"\x80\x0f" + b"m" * 15)
            raise self.SSLv2_SENT_SERVERFINISHED()
        raise self.SSLv2_ADDED_SERVERFINISHED()

    @ATMT.state()
    def SSLv2_SENT_SERVERFINISHED(self):
        raise self.SSLv2_WAITING_CLIENTDATA()

    @ATMT.state()
    def SSLv2_WAITING_CLIENTDATA(self):
        while True:
            sources = [self.socket] + ([self.smtp] if self.smtp is not None else [])
            ready, _, _ = select.select(sources, [], [], 60)
            if not ready:
                break
            if self.smtp in ready:
                data = self.smtp.recv(65536)
                if not data:
                    self.smtp.close()
                    self.smtp = None
                    continue
                self.add_record(is_sslv2=True)
                self.add_msg(Raw(data))
                self.flush_records()
            if self.socket in ready:
                self.get_next_msg(0.5, 1)
                self.check_failures()
                while self.buffer_in:
                    p = self.buffer_in.pop(0)
                    if self.smtp is not None:
                        self.smtp.sendall(p.load if hasattr(p, "load") else raw(p))
        self.socket.close()
        raise self.WAITING_CLIENT()


def make_cert(work, bits):
    key, cert = os.path.join(work, "key%d.pem" % bits), os.path.join(work, "cert%d.pem" % bits)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:%d" % bits, "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True)
    return cert, key


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--relay", type=int, required=True, help="port of the mail server on 127.0.0.1")
    parser.add_argument("--lifetime", type=float, default=300.0)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-ssl2-")
    keys = {bits: make_cert(work, bits) for bits in (1024, 2048)}
    servers = {}
    for behaviour in BEHAVIOURS:
        cert, key = keys[2048 if behaviour == "no_modulus" else 1024]
        servers[behaviour] = Ssl2SmtpServer(behaviour=behaviour, relay=args.relay, mycert=cert, mykey=key,
                                            is_echo_server=False, verbose=False)
        servers[behaviour].runbg()
    if not all(s.ready.wait(20) for s in servers.values()):
        emit("FAILED an automaton did not bind")
        os._exit(1)
    emit("PORT %d " % servers["normal"].bound_port
         + " ".join("%s %d" % (b, s.bound_port) for b, s in servers.items() if b != "normal"))
    wait_for_end(args.lifetime)
    shutil.rmtree(work, True)
    os._exit(0)


if __name__ == "__main__":
    main()
