"""Njalla: GET /update/?h=<name>&k=<the record's key>&a=<IPv4> (or aaaa=<IPv6>); a JSON answer with a status."""
from dyndns_common import kind, token_in, update

authorized = token_in("k")
UNAUTHORIZED = (200, {"status": 401, "message": "invalid key"})


def handle(zone, r):
    address = r.query.get("a") or r.query.get("aaaa")
    update(zone, r.query["h"], address)
    return 200, {"status": 200, "message": "record updated", "value": {kind(address): address}}


ROUTES = [("GET", "/update/", handle)]
