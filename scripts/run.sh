#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program (under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
# An ini beside the executable keeps a development run's settings in the build folder, not in ~/.config.
[ -e build/src/tabiroku.ini ] || : >build/src/tabiroku.ini
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" ./build/src/tabiroku
fi
exec ./build/src/tabiroku
