#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build, the tests and the program need; does nothing when they are present.
set -euo pipefail
pkgs=(cmake g++ make pkg-config git
      libgtest-dev libgmock-dev googletest libbenchmark-dev valgrind clang-format
      clang libclang-rt-14-dev
      libcli11-dev nlohmann-json3-dev libxrl-dev libdcmtk-dev dcmtk
      qt6-base-dev libqt6printsupport6 qt6-charts-dev libgl1-mesa-dev qt6-translations-l10n
      fonts-noto-cjk xvfb xauth poppler-utils
      help2man librsvg2-bin desktop-file-utils dpkg-dev file lintian
      g++-mingw-w64-x86-64-posix wine wine64 python3)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
