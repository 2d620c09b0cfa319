"""What the dynamic-DNS services' tables share: one GET sets one name's record of one type to the address in its
query, and the service answers in a line of text (a small JSON or XML document for some)."""
import base64, ipaddress


def kind(address):
    return "AAAA" if ipaddress.ip_address(address).version == 6 else "A"


def update(zone, name, address):
    """Sets the record of name and the address's type; whether it held another address before."""
    before = [r["content"] for r in zone.find(name, kind(address))]
    zone.set(name, kind(address), [address])
    return before != [address]


def token_in(item):
    """An authorized() for a secret in the query item."""
    return lambda r: r.query.get(item) == r.secret


def basic(r):
    """(user, password) of an HTTP Basic Authorization header."""
    header = r.headers.get("Authorization") or ""
    if not header.startswith("Basic "):
        return None, None
    user, _, password = base64.b64decode(header[6:]).decode().partition(":")
    return user, password


def dyndns2(path, v6="myip", host_is_user=False, refused=200, clears=False):
    """A dyndns2 service at path: ?hostname=&myip= (an IPv6 address in v6), HTTP Basic user:password (the host name
    as the user where host_is_user), answers "good <ip>", "nochg <ip>", and "badauth" with the status refused; where
    clears, the address a request leaves out is removed.
    Gives the table's authorized, UNAUTHORIZED and ROUTES."""
    def authorized(r):
        user, password = basic(r)
        expected_user, _, expected = r.secret.rpartition(":")
        return password == expected and user == (r.query.get("hostname") if host_is_user else expected_user)

    def handle(zone, r):
        name, addresses = r.query.get("hostname", ""), [a for a in {r.query.get("myip"), r.query.get(v6)} if a]
        if "." not in name or not addresses:
            return 200, "notfqdn"
        changed = [update(zone, name, address) for address in addresses]
        for left_out in {"A", "AAAA"} - {kind(a) for a in addresses} if clears else ():
            zone.set(name, left_out, [])
        return 200, ("good " if any(changed) else "nochg ") + ",".join(addresses)

    return authorized, (refused, "badauth"), [("GET", path, handle)]
