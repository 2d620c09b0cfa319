"""Duck DNS: GET /update?domains=<subname>&token=&ip= (or ipv6=); answers OK, or KO for a bad token or domain."""
from dyndns_common import token_in, update

authorized = token_in("token")
UNAUTHORIZED = (200, "KO")


def handle(zone, r):
    name = r.query["domains"]
    update(zone, name if "." in name else name + ".duckdns.org", r.query.get("ipv6") or r.query["ip"])
    return 200, "OK"


ROUTES = [("GET", "/update", handle)]
