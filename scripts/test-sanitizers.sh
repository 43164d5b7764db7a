#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-san/ and runs every test there. Any report of undefined behaviour ends
# the test program it happens in, so the test fails. Leak checking is off: Qt
# keeps some of its allocations until the process ends.
# JOBS sets the number of parallel compiles and tests (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --packages-only
jobs="${JOBS:-$(nproc)}"
# The build and the test run are the preset "sanitizers" (CMakePresets.json).
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers -j"$jobs"
# The hundred starts in a row look for a start that hangs; the normal pass runs
# them, and here they would only take minutes (the preset leaves them out).
ctest --preset sanitizers -j"$jobs"

