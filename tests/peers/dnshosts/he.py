"""Hurricane Electric: GET /nic/update?hostname=&myip=, HTTP Basic with the host name as the user and the record's
DDNS key as the password; a wrong key answers 401 "badauth"."""
from dyndns_common import dyndns2

authorized, UNAUTHORIZED, ROUTES = dyndns2("/nic/update", host_is_user=True, refused=401)
