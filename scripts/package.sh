#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package build/tabiroku_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
rm -f build/tabiroku_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/tabiroku_*.deb
