#!/usr/bin/env bash
# Builds pdf417read and decodes the bundled sample picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target pdf417read
./build/pdf417read samples/*.png
