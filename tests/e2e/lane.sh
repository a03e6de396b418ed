#!/bin/sh
# Runs one scenario file in a network and mount namespace and a Wine prefix of its own, so
# that files can run side by side: the collectors listen on the build's fixed loopback
# addresses, each prefix has its own wineserver, registry and host service, and what a
# scenario mounts (a small file system that fills up) goes with the lane.
# Usage: lane.sh PREFIX FILE [pytest arguments]
#        lane.sh PREFIX --exec COMMAND [arguments]   (any command, the chaos campaign's lanes)
set -eu
prefix=$1
shift
if [ "${1:-}" = --exec ]; then
  shift
  exec unshare --net --mount /bin/sh -c \
    'ip link set lo up && ZENTRAK_E2E_PREFIX="$0" exec "$@"' "$prefix" "$@"
fi
exec unshare --net --mount /bin/sh -c \
  'ip link set lo up && ZENTRAK_E2E_PREFIX="$0" exec /usr/bin/python3 -m pytest -q -p no:cacheprovider "$@"' \
  "$prefix" "$@"
