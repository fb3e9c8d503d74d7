#!/usr/bin/env bash
# Installs the Debian packages that are missing, configures and builds Zorvita, and assembles
# the application folder in build/Zorvita. Safe to run again: it only does what is not done.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${ZORVITA_BUILD_DIR:-build}

mapfile -t wanted < <(grep -vE '^\s*(#|$)' scripts/packages.txt)
missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${ZORVITA_CMAKE_ARGS:-}
fi
cmake --build "$BUILD_DIR"
