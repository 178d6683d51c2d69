#!/usr/bin/env bash
# Builds the Python module and runs its tests and the batch tool's with the
# Debian Python the module is built for; then the module's tests again on a
# build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh pybind11-dev python3-dev python3-numpy python3-pytest python3-pil \
  python3-dask python3-distributed
jobs=$(nproc)
python=/usr/bin/python3

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPDF417_PYTHON=ON -DPython3_EXECUTABLE=$python >/dev/null
cmake --build build -j"$jobs" --target pdf417read_python pdf417read
PYTHONPATH="$PWD/build/python" PDF417READ_PROGRAM="$PWD/build/pdf417read" $python -m pytest -q python/tests "$@"

# The interpreter is not instrumented: the sanitizer runtimes are loaded
# first, and Python's own allocations are not checked for leaks.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPDF417_SANITIZE=ON -DPDF417_BENCH=OFF \
  -DPDF417_PYTHON=ON -DPython3_EXECUTABLE=$python >/dev/null
cmake --build build-sanitize -j"$jobs" --target pdf417read_python
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)" \
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  PYTHONPATH="$PWD/build-sanitize/python" $python -m pytest -q python/tests/test_read.py "$@"
