#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the program and its package need (run as root).
set -euo pipefail
pkgs=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl1-mesa-dev libsqlite3-dev
      libjpeg62-turbo-dev pkg-config fonts-noto-cjk qt6-translations-l10n xvfb xauth
      desktop-file-utils appstream dpkg-dev mdbtools-dev libxml2-utils)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
