#!/usr/bin/env bash
# Installs what is missing, builds Tarvik for /usr and makes the Debian
# package build/tarvik_VERSION_ARCH.deb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARVIK_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh" --package
# Built as Debian builds its packages: with the flags dpkg-buildflags gives,
# every hardening feature on (-D_FORTIFY_SOURCE=2, the stack protector,
# -z relro -z now). The package has a build tree of its own, so the flags of
# the tree the tests run in stay as they are; it needs only the program, the
# driver and the documentation files.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
eval "$(dpkg-buildflags --export=sh)"
package_build="$build/package-build"
cmake -S "$root" -B "$package_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DTARVIK_BUILD_TESTS=OFF -DTARVIK_BUILD_BENCHMARKS=OFF \
    -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
    -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$package_build" -j"$(nproc)" --target tarvik tarvik_driver tarvik_dist_docs
rm -f "$build"/tarvik_*.deb "$package_build"/tarvik_*.deb
(cd "$package_build" && cpack -G DEB)
deb="$(echo "$package_build"/tarvik_*.deb)"
# CPack calls ldconfig from postinst and postrm for any shared library under
# /usr/lib, also for our driver in its private folder /usr/lib/tarvik, which
# the dynamic linker never searches: the package is unpacked, those scripts
# are taken out, and it is packed again with dpkg-deb.
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -R "$deb" "$unpacked"
for script in postinst postrm; do
    if [ -f "$unpacked/DEBIAN/$script" ]; then
        # Only shell boilerplate around ldconfig is expected in them.
        if grep -vqE '^\s*(#.*|set -e|if .*|then|fi|.*ldconfig.*)?\s*$' "$unpacked/DEBIAN/$script"; then
            echo "$script in $deb does more than call ldconfig"
            exit 1
        fi
        rm "$unpacked/DEBIAN/$script"
    fi
done
# CPack strips the symbols; the compiler's version notes go too, as Debian's
# own packaging strips them, and the checksums follow.
strip --remove-section=.comment --remove-section=.note "$unpacked/usr/bin/tarvik" \
    "$unpacked/usr/lib/tarvik/libZT121032.so"
(cd "$unpacked" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
    xargs -0 md5sum >DEBIAN/md5sums)
dpkg-deb --root-owner-group -Zxz -b "$unpacked" "$build/$(basename "$deb")" >/dev/null
