"""Dynu API v2: "API-Key: <key>"; GET /dns lists the domains with their ids; GET /dns/{id}/record the domain's
records; POST /dns/{id}/record adds one, POST /dns/{id}/record/{recordId} changes one. The address of an A record is
its ipv4Address, of an AAAA record its ipv6Address."""
DOMAIN_ID = 9876543
FIELD = {"A": "ipv4Address", "AAAA": "ipv6Address", "TXT": "textData"}


def authorized(r):
    return r.headers.get("API-Key") == r.secret


UNAUTHORIZED = (401, {"statusCode": 401, "type": "Authentication Exception", "message": "Invalid API Key."})


def shown(zone, x):
    node = zone.relative(x["name"]).strip("@")
    return {"id": int(x["id"]), "domainId": DOMAIN_ID, "domainName": zone.name, "nodeName": node,
            "hostname": x["name"], "recordType": x["type"], "ttl": x["ttl"], "state": True, FIELD[x["type"]]: x["content"]}


def write(zone, r):
    body = r.json
    if body.get("recordType") not in ("A", "AAAA") or not body.get(FIELD[body["recordType"]]):
        return 400, {"statusCode": 400, "type": "Argument Exception", "message": "Invalid record."}
    if "id" in r.groups:
        found = zone.find(id=r.groups["id"])
        if not found:
            return 404, {"statusCode": 404, "type": "Not Found Exception", "message": "Record not found."}
        found[0].update(content=body[FIELD[body["recordType"]]], ttl=body.get("ttl", 300))
        return 200, {"statusCode": 200, **shown(zone, found[0])}
    made = zone.add(zone.absolute(body["nodeName"] or "@"), body["recordType"], body[FIELD[body["recordType"]]],
                    body.get("ttl"))
    return 200, {"statusCode": 200, **shown(zone, made)}


ROUTES = [
    ("GET", "/v2/dns", lambda zone, r: (200, {"statusCode": 200, "domains": [{"id": DOMAIN_ID, "name": zone.name}]})),
    ("GET", f"/v2/dns/{DOMAIN_ID}/record", lambda zone, r: (200, {
        "statusCode": 200, "dnsRecords": [shown(zone, x) for x in zone.records]})),
    ("POST", f"/v2/dns/{DOMAIN_ID}/record", write),
    ("POST", f"/v2/dns/{DOMAIN_ID}/record/(?P<id>\\d+)", write),
]
