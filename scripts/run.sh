#!/usr/bin/env bash
# Installs what is missing, builds Tarvik with our driver and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target tarvik tarvik_driver
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Tarvik on a virtual X server (xvfb-run)."
    # Once the program runs (a child of xvfb-run, which takes this shell's
    # process id), say so, so that nobody waits for a window that will not
    # come. The watcher ends with xvfb-run if the program never starts.
    script_pid=$$
    (
        while kill -0 "$script_pid" 2>/dev/null; do
            for stat in /proc/[0-9]*/stat; do
                read -r _ name _ parent _ 2>/dev/null <"$stat" || continue
                if [ "$name" = "(tarvik)" ] && [ "$parent" = "$script_pid" ]; then
                    printf '%s\n' "Tarvik is running on a virtual X server that no one can see (there is no display here)." \
                        "To see its windows, run it in a desktop session or over ssh -X. Press Ctrl+C to stop it."
                    exit 0
                fi
            done
            sleep 0.2
        done
    ) &
    exec xvfb-run -a "$root/build/bin/tarvik"
fi
exec "$root/build/bin/tarvik"
