#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program (under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" ./build/src/tabiroku
fi
exec ./build/src/tabiroku
