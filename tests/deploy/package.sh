#!/usr/bin/env bash
# Builds the Debian package from this build folder with CPack, as scripts/package does,
# into a folder of the tests; the other package tests read it.
set -euo pipefail
BUILD=$1 OUT=$2
rm -rf "$OUT"
mkdir -p "$OUT"
cd "$BUILD"
cpack -G DEB -B "$OUT"
ls -l "$OUT"/*.deb
