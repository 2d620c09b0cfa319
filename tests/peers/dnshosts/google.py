"""Google Cloud DNS API v1 with a service account's sign-in: POST /token takes grant_type jwt-bearer and an RS256 JWT
(iss the account, aud the token URI, the Cloud DNS scope), checked with the account's key (--secret: its PEM); a
bad one is 400 invalid_grant. The API takes the access token as a bearer token; errors as {"error": {"code",
"message", "status"}}. Record sets listed by ?name=&type=, created with POST, changed with PATCH
.../rrsets/{name}/{type}."""
import base64, json, time
from urllib.parse import parse_qs
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding

EMAIL, TOKEN = "test-dns@vt.iam.gserviceaccount.com", "ya29.c.test-access"
SETS = "/dns/v1/projects/vistrel-test/managedZones/example-com/rrsets"


def authorized(r):
    return r.path == "/token" or r.headers.get("Authorization") == f"Bearer {TOKEN}"


def error(code, status, message):
    return {"error": {"code": code, "message": message, "status": status}}


UNAUTHORIZED = (401, error(401, "UNAUTHENTICATED", "Request had invalid authentication credentials."))
RATE_LIMITED = (429, error(429, "RESOURCE_EXHAUSTED", "Quota exceeded for quota metric 'Read requests'."))
NOT_FOUND = error(404, "NOT_FOUND", "The requested resource was not found.")


def token(zone, r):
    form = {k: v[0] for k, v in parse_qs(r.raw).items()}
    decode = lambda part: base64.urlsafe_b64decode(part + "=" * (-len(part) % 4))
    try:
        header, claims, signature = form["assertion"].split(".")
        key = serialization.load_pem_private_key(r.secret.encode(), None).public_key()
        key.verify(decode(signature), f"{header}.{claims}".encode(), padding.PKCS1v15(), hashes.SHA256())
        claims = json.loads(decode(claims))
    except Exception:
        return 400, {"error": "invalid_grant", "error_description": "Invalid JWT Signature."}
    if form.get("grant_type") != "urn:ietf:params:oauth:grant-type:jwt-bearer" \
            or json.loads(decode(header))["alg"] != "RS256" \
            or claims["iss"] != EMAIL or claims["aud"] != f"http://{r.headers['Host']}/token" \
            or "ndev.clouddns.readwrite" not in claims["scope"] or not claims["iat"] - 60 < time.time() < claims["exp"]:
        return 400, {"error": "invalid_grant", "error_description": "Invalid grant: account not found"}
    return 200, {"access_token": TOKEN, "expires_in": 3599, "token_type": "Bearer"}


def shown(zone, name, kind):
    found = zone.find(name, kind)
    return {"kind": "dns#resourceRecordSet", "name": found[0]["name"] + ".", "type": kind, "ttl": found[0]["ttl"],
            "rrdatas": [x["content"] for x in found]}


def listed(zone, r):
    keys = {(x["name"], x["type"]) for x in zone.records}
    return 200, {"kind": "dns#resourceRecordSetsListResponse", "rrsets": [
        shown(zone, n, t) for n, t in sorted(keys) if n + "." == r.query["name"] and t == r.query.get("type", t)]}


def write(zone, r):
    name, kind = r.json["name"], r.json["type"]
    exists = bool(zone.find(name, kind))
    if exists == (r.method == "POST") or (r.method == "PATCH" and (r.groups["name"], r.groups["type"]) != (name, kind)):
        return (409, error(409, "ALREADY_EXISTS", "The resource already exists.")) if exists else (404, NOT_FOUND)
    zone.set(name, kind, r.json["rrdatas"], r.json.get("ttl"))
    return 200, shown(zone, name, kind)


ROUTES = [
    ("POST", "/token", token),
    ("GET", SETS, listed),
    ("POST", SETS, write),
    ("PATCH", SETS + "/(?P<name>[\\w.-]+)/(?P<type>A|AAAA)", write),
]
