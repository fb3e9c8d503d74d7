#!/usr/bin/env bash
# Set up (see setup.sh), then run every test (all labels) and print ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd "${ZORVITA_BUILD_DIR:-build}"
exec ctest --output-on-failure --timeout 600 -j2 "$@"
