#!/usr/bin/env bash
# Set up (see setup.sh), then start the player from the assembled application folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec "${ZORVITA_BUILD_DIR:-build}/Zorvita/Zorvita" "$@"
