#!/usr/bin/env bash
# Installs the Debian packages the build needs (when missing) and builds into build/.
# With --packages-only it installs the packages and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(g++ cmake ninja-build qt6-base-dev qt6-base-private-dev qt6-serialport-dev libqscintilla2-qt6-dev
          libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth x11-utils socat
          qt6-translations-l10n qt6-l10n-tools qt6-tools-dev fonts-dejavu-core
          desktop-file-utils shared-mime-info clang libclang-rt-14-dev acl)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ "${1:-}" = "--packages-only" ]; then exit 0; fi

cmake --preset default >/dev/null
cmake --build --preset default
