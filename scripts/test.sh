#!/usr/bin/env bash
# Builds everything and runs every test (window tests on the offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
ctest --preset default -j"$(nproc)"
