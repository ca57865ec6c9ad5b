#!/usr/bin/env bash
# Builds the program in release mode and makes its Debian package in build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-package -j "$(nproc)"
(cd build-package && cpack -G DEB)
ls -1 build-package/validaciones-kolt_*_amd64.deb
