"""Recomputes an SSL 2.0 session (RC4_128_WITH_MD5) from its transcript, independently of scapy and
of the client under test: hashlib's MD5, a plain RC4, and RSA decryption of the master key from
python3-cryptography. Used by ssl2_smtp_peer.py after each connection."""
import hashlib

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import padding


class RC4:
    def __init__(self, key):
        s = list(range(256))
        j = 0
        for i in range(256):
            j = (j + s[i] + key[i % len(key)]) & 0xFF
            s[i], s[j] = s[j], s[i]
        self.s, self.i, self.j = s, 0, 0

    def crypt(self, data):
        out = bytearray()
        s = self.s
        for b in data:
            self.i = (self.i + 1) & 0xFF
            self.j = (self.j + s[self.i]) & 0xFF
            s[self.i], s[self.j] = s[self.j], s[self.i]
            out.append(b ^ s[(s[self.i] + s[self.j]) & 0xFF])
        return bytes(out)


def records(stream):
    out = []
    at = 0
    while at < len(stream):
        if at + 2 > len(stream) or not stream[at] & 0x80:
            raise ValueError("bad record header at %d" % at)
        length = ((stream[at] & 0x7F) << 8) | stream[at + 1]
        if at + 2 + length > len(stream):
            raise ValueError("record at %d runs past the end" % at)
        out.append(stream[at + 2:at + 2 + length])
        at += 2 + length
    return out


def u16(b, at):
    return (b[at] << 8) | b[at + 1]


def open_records(bodies, first_seq, key):
    """Decrypts bodies (RC4 continuous over the session) and checks each MAC with its sequence number."""
    rc4 = RC4(key)
    datas = []
    for seq, body in enumerate(bodies, start=first_seq):
        plain = rc4.crypt(body)
        mac, data = plain[:16], plain[16:]
        if hashlib.md5(key + data + seq.to_bytes(4, "big")).digest() != mac:
            raise ValueError("MAC of record %d (sequence %d) is wrong" % (seq, seq))
        datas.append(data)
    return datas


def check(transcript, keyfile):
    try:
        client = records(b"".join(d for who, d in transcript if who == "C"))
        server = records(b"".join(d for who, d in transcript if who == "S"))
        hello, master = client[0], client[1]
        challenge_len = u16(hello, 7)
        challenge = hello[len(hello) - challenge_len:]
        clear_len, secret_len = u16(master, 4), u16(master, 6)
        encrypted = master[10 + clear_len:10 + clear_len + secret_len]
        with open(keyfile, "rb") as f:
            private = serialization.load_pem_private_key(f.read(), password=None)
        master_key = master[10:10 + clear_len] + private.decrypt(encrypted, padding.PKCS1v15())
        shello = server[0]
        cert_len, specs_len, cid_len = u16(shello, 5), u16(shello, 7), u16(shello, 9)
        cid = shello[11 + cert_len + specs_len:11 + cert_len + specs_len + cid_len]
        key0 = hashlib.md5(master_key + b"0" + challenge + cid).digest()
        key1 = hashlib.md5(master_key + b"1" + challenge + cid).digest()
        sent = open_records(client[2:], 2, key1)
        got = open_records(server[1:], 1, key0)
        if sent[0] != b"\x03" + cid:
            raise ValueError("CLIENT-FINISHED does not carry the connection-id")
        if got[0] != b"\x05" + challenge:
            raise ValueError("SERVER-VERIFY does not carry the challenge")
        client_data = b"".join(sent[1:])
        server_data = b"".join(got[2:])
        return ("CROSSCHECK OK master_key_len %d client_records %d server_records %d finished_seq 2 "
                "client_data_md5 %s server_data_md5 %s client_bodies %s" % (len(master_key), len(client), len(server),
                                                            hashlib.md5(client_data).hexdigest(),
                                                            hashlib.md5(server_data).hexdigest(),
                                                            ",".join(str(len(b)) for b in client)))
    except Exception as e:  # noqa: BLE001
        return "CROSSCHECK FAIL %s" % e
