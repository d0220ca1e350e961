#!/usr/bin/env bash
# Builds the Debian packages: a Release build without tests in build/package, installed to /usr,
# then one package per component made by CPack. Prints each package with its dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset package >/dev/null
cmake --build --preset package
rm -f build/package/*.deb
cpack --preset package
for deb in build/package/*.deb; do
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done
