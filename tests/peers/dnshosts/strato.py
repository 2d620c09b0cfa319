"""Strato: GET /nic/update?hostname=&myip=, HTTP Basic with the domain and its DynDNS password."""
from dyndns_common import dyndns2

authorized, UNAUTHORIZED, ROUTES = dyndns2("/nic/update")
