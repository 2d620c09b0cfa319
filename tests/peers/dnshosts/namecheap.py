"""Namecheap: GET /update?host=<name in the domain, @>&domain=&password=<the domain's DDNS password>&ip=; an XML
<interface-response> whose ErrCount says whether it worked, errors in <errors><Err1>."""
from dyndns_common import token_in, update


def answer(*errors):
    listed = "".join(f"<Err{i}>{e}</Err{i}>" for i, e in enumerate(errors, 1))
    return (f'<?xml version="1.0" encoding="utf-16"?><interface-response><Command>SETDNSHOST</Command>'
            f"<ErrCount>{len(errors)}</ErrCount><errors>{listed}</errors><Done>true</Done></interface-response>")


authorized = token_in("password")
UNAUTHORIZED = (200, answer("Passwords do not match"))


def handle(zone, r):
    if r.query.get("domain") != zone.name:
        return 200, answer("Domain name not found")
    update(zone, zone.absolute(r.query["host"]), r.query["ip"])
    return 200, answer()


ROUTES = [("GET", "/update", handle)]
