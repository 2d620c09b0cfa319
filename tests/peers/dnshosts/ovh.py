"""OVHcloud API 1.0: GET /auth/time unsigned; every other request with X-Ovh-Application, X-Ovh-Consumer,
X-Ovh-Timestamp and X-Ovh-Signature "$1$" + sha1(AS+CK+METHOD+URL+BODY+TIME joined by "+"); errors as
{"errorCode", "httpCode", "message"}. Records listed as ids by ?fieldType=&subDomain=, read one by one."""
import hashlib, time

APPLICATION_KEY = "7kbG7Bk7S9Nt7ZSV"


def authorized(r):
    if r.path.endswith("/auth/time"):
        return True
    secret, consumer = r.secret.split(":")
    stamp = r.headers.get("X-Ovh-Timestamp", "")
    signed = "+".join([secret, consumer, r.method, f"http://{r.headers['Host']}{r.target}", r.raw, stamp])
    return r.headers.get("X-Ovh-Application") == APPLICATION_KEY and r.headers.get("X-Ovh-Consumer") == consumer \
        and abs(int(stamp or 0) - time.time()) < 60 \
        and r.headers.get("X-Ovh-Signature") == "$1$" + hashlib.sha1(signed.encode()).hexdigest()


UNAUTHORIZED = (403, {"errorCode": "INVALID_CREDENTIAL", "httpCode": "403 Forbidden",
                      "message": "This credential does not exist"})
NOT_FOUND = {"class": "Client::NotFound", "message": "Got an invalid (or empty) URL"}


def shown(zone, record):
    return {"id": int(record["id"]), "zone": zone.name, "subDomain": "" if zone.relative(record["name"]) == "@"
            else zone.relative(record["name"]), "fieldType": record["type"], "target": record["content"],
            "ttl": record["ttl"]}


def ids(zone, r):
    found = [x for x in zone.records if shown(zone, x)["subDomain"] == r.query.get("subDomain", "")
             and x["type"] == r.query.get("fieldType", x["type"])]
    return 200, [int(x["id"]) for x in found]


def one(zone, r, change=None):
    found = zone.find(id=r.groups["id"])
    if not found:
        return 404, {"class": "Client::NotFound",
                     "message": f"The requested object (id = {r.groups['id']}) does not exist"}
    found[0].update(change or {})
    return 200, None if change else shown(zone, found[0])


ROUTES = [
    ("GET", "/1.0/auth/time", lambda zone, r: (200, int(time.time()))),
    ("GET", "/1.0/domain/zone/example.com/record", ids),
    ("GET", "/1.0/domain/zone/example.com/record/(?P<id>\\d+)", one),
    ("POST", "/1.0/domain/zone/example.com/record", lambda zone, r: (200, shown(zone, zone.add(
        zone.absolute(r.json["subDomain"]), r.json["fieldType"], r.json["target"], r.json.get("ttl", 0))))),
    ("PUT", "/1.0/domain/zone/example.com/record/(?P<id>\\d+)",
     lambda zone, r: one(zone, r, {"content": r.json["target"]})),
    ("POST", "/1.0/domain/zone/example.com/refresh", lambda zone, r: (200, None)),
]
