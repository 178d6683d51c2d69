#!/usr/bin/env bash
# Builds the Python module with pip, offline and without build isolation
# (the backend, scikit-build, and the compilers are the system's): installs
# it into a virtual environment with `pip install .`, makes a wheel with
# `pip wheel .` and installs that into a fresh virtual environment of its
# own; each reads the sample picture.
#   tools/check-wheel.sh [SCRATCH_DIR]    (default build-wheel)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scratch=$(realpath -m "${1:-build-wheel}")
python=/usr/bin/python3
picture=$top/samples/sample.png
expected="PDF417 sample: Hello from pdf417read! 0123456789"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1

fail() {
  echo "check-wheel: $*" >&2
  exit 1
}

# Reads the sample with the environment's Python, from outside the checkout.
check_reads() {
  local what=$1 environment=$2 got
  got=$(cd "$scratch" && "$environment/bin/python" -c \
    "import sys, pdf417read; print(pdf417read.read(sys.argv[1])[0].text)" "$picture") ||
    fail "$what: the module does not read the sample"
  [ "$got" = "$expected" ] || fail "$what read '$got', not '$expected'"
  echo "  $what: ok"
}

rm -rf "$scratch"
mkdir -p "$scratch/dist"

# The build needs the system's scikit-build: the environment sees it.
$python -m venv --system-site-packages "$scratch/installed"
"$scratch/installed/bin/pip" install -q --no-build-isolation . || fail "pip install . failed"
site=$("$scratch/installed/bin/python" -c "import sysconfig; print(sysconfig.get_path('platlib'))")
ls "$site"/pdf417read*.so >/dev/null 2>&1 || fail "pip install . put no module into $site"
[ -e "$site/pdf417read.pyi" ] || fail "pip install . put no type stubs into $site"
check_reads "pip install ." "$scratch/installed"

$python -m pip wheel -q --no-build-isolation --no-deps -w "$scratch/dist" . || fail "pip wheel . failed"
wheel=$(ls "$scratch"/dist/pdf417read-*.whl)
# The module, its stubs and the package's records: nothing else.
others=$($python -m zipfile -l "$wheel" | awk 'NR > 1 { print $1 }' |
  grep -v -e '^pdf417read\.cpython-.*\.so$' -e '^pdf417read\.pyi$' -e '^pdf417read-[^/]*\.dist-info/' || true)
[ -z "$others" ] || fail "the wheel holds more than the module and its stubs:"$'\n'"$others"
$python -m venv "$scratch/from-wheel"
"$scratch/from-wheel/bin/pip" install -q "$wheel" || fail "the wheel does not install"
check_reads "wheel in a fresh environment" "$scratch/from-wheel"
echo "wheel checks passed: $(basename "$wheel"), $(stat -c %s "$wheel") bytes"
