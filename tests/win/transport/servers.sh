#!/usr/bin/env bash
# Starts (start DIR) or stops (stop DIR) the servers the transport tests talk to: the
# collector on 127.0.0.121:80 (scripted answers for the downloads, tracks, documents), the
# collector as a proxy demanding Basic credentials on 127.0.0.122:8080, and tinyproxy as an
# open proxy on 127.0.0.123:8888. Only the processes recorded in DIR are stopped.
set -euo pipefail
action=$1
dir=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
collector="$here/../../../tools/collector/collector.py"

stop() {
  for pidfile in "$dir"/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    # Gone, or a zombie waiting for its new parent to reap it.
    for _ in $(seq 50); do
      case "$(ps -o stat= -p "$pid" 2>/dev/null || true)" in "" | Z*) break ;; esac
      sleep 0.05
    done
    rm -f "$pidfile"
  done
}

wait_port() {  # address port
  for _ in $(seq 100); do
    if (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; then return 0; fi
    sleep 0.05
  done
  echo "nothing listens on $1:$2" >&2
  return 1
}

start_collector() {  # name address port args...
  local name=$1 address=$2 port=$3
  shift 3
  : > "$dir/$name.jsonl"
  setsid /usr/bin/python3 "$collector" --address "$address" --port "$port" \
    --record "$dir/$name.jsonl" --quiet "$@" </dev/null >"$dir/$name.log" 2>&1 &
  echo $! > "$dir/$name.pid"
  wait_port "$address" "$port"
}

case "$action" in
  start)
    stop
    mkdir -p "$dir/files/cfg"
    printf '{"events":"configuration"}' > "$dir/files/cfg/events.json"
    printf 'old contents' > "$dir/files/cfg/old.txt"
    start_collector origin 127.0.0.121 80 --serve "$dir/files" \
      --script /dl/empty=empty --script /dl/missing=404 --script /dl/error=500 \
      --script /dl/cut=cut --script /dl/huge=huge --script /dl/endless=endless \
      --script /dl/closed=close --script /dl/denied=401 --script /dl/drip=drip
    start_collector proxy 127.0.0.122 8080 --proxy --proxy-user zuser --proxy-password zpass
    cat > "$dir/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port 8888
Listen 127.0.0.123
Timeout 20
MaxClients 20
Allow 127.0.0.0/8
LogLevel Info
CONF
    setsid /usr/bin/tinyproxy -d -c "$dir/tinyproxy.conf" </dev/null >"$dir/tinyproxy.log" 2>&1 &
    echo $! > "$dir/tinyproxy.pid"
    wait_port 127.0.0.123 8888
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
