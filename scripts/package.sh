#!/usr/bin/env bash
# Installs what is missing, builds Tarvik for /usr and makes the Debian
# package build/tarvik_VERSION_ARCH.deb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARVIK_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh" --package
# The package needs only the program, the driver and the documentation
# files, so installing does not first build every test and benchmark.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarvik tarvik_driver tarvik_dist_docs
rm -f "$build"/tarvik_*.deb
(cd "$build" && cpack -G DEB)
