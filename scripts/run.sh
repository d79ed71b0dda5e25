#!/usr/bin/env bash
# Installs what is missing, builds Tarvik with our driver and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target tarvik tarvik_driver
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Tarvik on a virtual X server (xvfb-run)."
    exec xvfb-run -a "$root/build/bin/tarvik"
fi
exec "$root/build/bin/tarvik"
