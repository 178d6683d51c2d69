#!/usr/bin/env bash
# Builds the Python module and the program, then runs the module's tests and
# the batch tool's with the Debian Python the module is built for.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh pybind11-dev python3-dev python3-numpy python3-pytest python3-pil \
  python3-dask python3-distributed
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPDF417_PYTHON=ON \
  -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build build -j"$jobs" --target pdf417read_python pdf417read
PYTHONPATH="$PWD/build/python${PYTHONPATH:+:$PYTHONPATH}" PDF417READ_PROGRAM="$PWD/build/pdf417read" \
  /usr/bin/python3 -m pytest -q python/tests "$@"
