#!/usr/bin/env bash
# Runs the program with its embedded default: the replacement message server
# with a demo seed, four local test cameras, and the program in a working
# folder of its own (build/run/) with its korvel.ini.
#
# With a display the window opens and everything stops when it is closed
# (the close password is in the status bar). Without one (or with
# --headless) it runs under Xvfb, saves a screenshot of the wall once the
# four cameras are live and one with the message server stopped (link down),
# says where, and stops everything.
#
# Environment: KORVEL_BUILD_DIR (default build), KORVEL_SERVER_PORT (12543),
# KORVEL_CONTROL_PORT (12544), KORVEL_CAMERA_PORT (8554: cameras on this
# port and the next three), KORVEL_SHOTS_DIR (where screenshots go; default
# the working folder).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KORVEL_BUILD_DIR:-$root/build}"
server_port="${KORVEL_SERVER_PORT:-12543}"
control_port="${KORVEL_CONTROL_PORT:-12544}"
camera_port="${KORVEL_CAMERA_PORT:-8554}"
headless=0
[ "${1:-}" = "--headless" ] && headless=1
[ -z "${DISPLAY:-}" ] && headless=1

say() { echo "run: $*" >&2; }

"$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DKORVEL_WITH_GUI=ON >/dev/null
fi
cmake --build "$build" --target korvel msgserver fakecam

work="$build/run"
shots="${KORVEL_SHOTS_DIR:-$work}"
mkdir -p "$work" "$shots"
cat >"$work/korvel.ini" <<INI
[Main]
Recording=1
StoragePath=storage\\
DFSM=0
[main]
VideoPlace=1
Place=1
[ServerHost]
Address=127.0.0.1
Port=$server_port
INI

pids=()
cleanup() {
  # Newest first, each to its end: the program (it finishes its recordings
  # on SIGTERM), then the display, the server and the cameras.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    local pid="${pids[$i]}"
    kill -TERM "$pid" 2>/dev/null || continue
    for _ in $(seq 75); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
    kill -KILL "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT

cam() { echo "rtsp://127.0.0.1:$((camera_port + $1 - 1))/cam$1"; }
"$build/fakecam/fakecam" "cam1=$camera_port/cam1" "cam2=$((camera_port + 1))/cam2" \
  "cam3=$((camera_port + 2))/cam3" "cam4=$((camera_port + 3))/cam4" \
  </dev/null >"$work/fakecam.log" 2>&1 &
pids+=($!)

# The demo seed, with its camera URLs moved to the chosen ports.
sed -e "s#rtsp://127.0.0.1:8554/cam1#$(cam 1)#g" -e "s#rtsp://127.0.0.1:8555/cam2#$(cam 2)#g" \
    -e "s#rtsp://127.0.0.1:8556/cam3#$(cam 3)#g" \
    "$root/msgserver/seed/demo.json" >"$work/seed.json"
"$build/msgserver/msgserver" --seed "$work/seed.json" --data "$work/msgserver-data" \
  --port "$server_port" --control-port "$control_port" -q >"$work/msgserver.log" 2>&1 &
server_pid=$!
pids+=($server_pid)

control="http://127.0.0.1:$control_port"
for _ in $(seq 50); do curl -sf "$control/status" >/dev/null && break; sleep 0.2; done
# Two more requests for this place, so four cameras are on the wall.
curl -sf -X POST "$control/tables/videor/records" \
  -d "{\"n_obj\": 102, \"url\": \"$(cam 3)\", \"name\": \"Подъезд 2\", \"mesto\": 1, \"nameobj\": \"Дом 7\"}" >/dev/null
curl -sf -X POST "$control/tables/videor/records" \
  -d "{\"n_obj\": 102, \"url\": \"$(cam 4)\", \"name\": \"Двор\", \"mesto\": 1, \"nameobj\": \"Дом 7\"}" >/dev/null

if [ "$headless" -eq 0 ]; then
  say "working folder $work; control $control; the close password is in the status bar"
  (cd "$work" && "$build/app/gui/korvel") || true
  exit 0
fi

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
(cd "$work" && DISPLAY="$display" QT_QPA_PLATFORM=xcb exec "$build/app/gui/korvel") \
  >"$work/korvel.log" 2>&1 &
pids+=($!)

# Live: every camera journaled a "started" event.
started=0
for _ in $(seq 120); do
  started=$(curl -sf "$control/log?type=msgCameraEvent" | grep -o 'запущен' | wc -l || true)
  [ "$started" -ge 8 ] && break  # year and day archive for each of the four
  sleep 0.5
done
sleep 2  # a few frames on every tile
DISPLAY="$display" import -window root "$shots/wall-live.png"
say "screenshot of the wall with four live cameras: $shots/wall-live.png"

kill -TERM "$server_pid"
wait "$server_pid" 2>/dev/null || true
sleep 4  # the link notices at its next poll; the timer shows it within 200 ms
DISPLAY="$display" import -window root "$shots/wall-link-down.png"
say "screenshot with the message server stopped: $shots/wall-link-down.png"
say "recordings: $(find "$work/storage" -name '*.mp4' | wc -l) files under $work/storage"
