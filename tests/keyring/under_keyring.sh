#!/bin/sh
# under_keyring.sh MODE COMMAND...: runs COMMAND on a private session bus, in a temporary home, so that the
# user's own bus and keyring are never touched. MODE: "unlocked" (gnome-keyring-daemon, login keyring open),
# "locked" (the login keyring exists but stays locked, no prompter), "none" (no Secret Service on the bus),
# "hung" (the keyring's start never completes: a call to it gets no answer for 12 s), "slow" (as "unlocked", but the
# keyring answers its first call only after 11 s, as one that asks its user would).
# The bus starts the daemon on the first call (D-Bus activation) and stops it when COMMAND ends.
set -eu
mode=$1
shift
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export KEYRING_MODE="$mode" HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$home/services" "$home/run"
chmod 700 "$home/run"
cat >"$home/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$home/run</listen>
  <servicedir>$home/services</servicedir>
  <limit name="service_start_timeout">30000</limit>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
daemon() {
    printf '[D-BUS Service]\nName=org.freedesktop.secrets\nExec=/bin/sh -c "%s"\n' "$1" \
        >"$home/services/org.freedesktop.secrets.service"
}
unlocked="echo -n keyring-test | exec gnome-keyring-daemon --unlock --foreground --components=secrets"
case $mode in
unlocked) daemon "$unlocked" ;;
locked)
    # The first bus creates the login keyring; the second starts the daemon without the password.
    daemon "$unlocked"
    dbus-run-session --config-file="$home/bus.conf" -- secret-tool search --all nothing here 2>/dev/null || true
    daemon "exec gnome-keyring-daemon --foreground --components=secrets"
    ;;
none) ;;
hung) daemon "exec sleep 12" ;;
slow) daemon "sleep 11; $unlocked" ;;
*) echo "unknown mode $mode" >&2; exit 2 ;;
esac
dbus-run-session --config-file="$home/bus.conf" -- "$@"
