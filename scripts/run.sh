#!/usr/bin/env bash
# Builds the editor and starts it. The first start fills the program folder
# (LUMRIK_DATA, or ~/.local/share/Lumrik/Lumrik) with a sample machine and program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
exec ./build/lumrik32 "$@"
