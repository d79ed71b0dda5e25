#!/usr/bin/env bash
# Installs the Debian packages Tarvik needs to build, run and test, when any
# is missing; with --package also what building its Debian package needs,
# with --package-check what checking it needs too. Runs apt-get directly as
# root, through sudo otherwise.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libxml2-dev xvfb xauth clang libclang-rt-14-dev)
case "${1:-}" in
--package) packages+=(dpkg-dev file) ;;
--package-check) packages+=(dpkg-dev file desktop-file-utils appstream lintian) ;;
esac
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
