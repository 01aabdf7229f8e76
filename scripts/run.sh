#!/usr/bin/env bash
# Sets up, builds and starts the application against the bundled device simulator
# (TCP on 127.0.0.1:10500). The simulator stops when the application exits.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)" --target varnelserie varnel-sim

port=10500
./build/bin/varnel-sim --tcp --tcp-port "$port" --model VRK610 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT

# First run: point the application at the simulator. Later runs keep whatever link
# the operator chose in "RS232/LAN Setup".
settings=build/bin/VarnelSerie.ini
if [ ! -e "$settings" ]; then
  printf 'VERSION_INI_FILE=V0004\r\nIpRemotePort=%s\r\nIpRemoteAddress=127.0.0.1\r\nConType=CON_TCP\r\n' "$port" > "$settings"
fi
./build/bin/varnelserie
