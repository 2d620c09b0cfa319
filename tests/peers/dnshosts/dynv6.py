"""dynv6: GET /api/update?zone=&token=&ipv4= (or ipv6=); a line of text, 401 for a bad token."""
from dyndns_common import token_in, update

authorized = token_in("token")
UNAUTHORIZED = (401, "invalid authentication token")


def handle(zone, r):
    changed = update(zone, r.query["zone"], r.query.get("ipv6") or r.query["ipv4"])
    return 200, "addresses updated" if changed else "addresses unchanged"


ROUTES = [("GET", "/api/update", handle)]
