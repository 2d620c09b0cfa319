"""Infomaniak: GET /nic/update?hostname=&myip=, HTTP Basic with the dynamic DNS's user name and password."""
from dyndns_common import dyndns2

authorized, UNAUTHORIZED, ROUTES = dyndns2("/nic/update")
