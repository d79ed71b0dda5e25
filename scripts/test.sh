#!/usr/bin/env bash
# Installs what is missing, builds Tarvik and its tests, and runs them all.
# Extra arguments go to CMake, e.g. -DTARVIK_SANITIZE=address,undefined.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARVIK_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_BUILD_TESTS=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 ${TARVIK_TEST_FILTER:+-R "$TARVIK_TEST_FILTER"}
