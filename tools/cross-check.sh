#!/usr/bin/env bash
# Checks that another processor gives the same results as this one: cross-
# builds the library, the program and the tests with Debian's cross compiler,
# runs the tests under qemu-user, and compares the program's output (decoder
# trace, result lines, warnings, exit status; and its --json) on every
# picture of the corpus and of samples/ byte for byte with a native build's
# (tools/compare-outputs.sh).
#   tools/cross-check.sh ARCH [SCRATCH_DIR]    ARCH: aarch64 or s390x (big-endian)
#                                              (default SCRATCH_DIR: build-cross-ARCH)
# The target's libzint, GoogleTest and libspng, and the C library's character
# set converters (iconv), come from Debian's packages for that processor,
# unpacked into a folder of the scratch directory: never installed on this
# machine, whose packages stay as they are. The tests that
# start the program or zint run them through the emulator or natively.
# Environment: CROSS_TESTS=REGEX runs only the matching tests (ctest -R);
# NATIVE_PROGRAM=PATH compares with that build of the program instead of
# making one.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:-}
case $arch in
  aarch64) debian_arch=arm64 ;;
  s390x) debian_arch=s390x ;;
  *)
    echo "usage: tools/cross-check.sh aarch64|s390x [SCRATCH_DIR]" >&2
    exit 2
    ;;
esac
triple=$arch-linux-gnu
scratch=$(realpath -m "${2:-build-cross-$arch}")
jobs=$(nproc)
bash tools/install-deps.sh "g++-$triple" qemu-user

# The target's libraries, from a private apt state for the foreign
# architecture, unpacked without installing.
target_libraries() {
  local apt=$scratch/apt root=$scratch/sysroot
  [ -e "$root/.complete" ] && return 0
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/debs"
  : >"$apt/status"
  local options=(-o "Dir::State::Lists=$apt/lists" -o "Dir::State::status=$apt/status"
    -o "Dir::Cache=$apt" -o "Dir::Cache::archives=$apt/archives"
    -o "APT::Architecture=$debian_arch" -o "APT::Architectures::=$debian_arch" -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")
  apt-get -qq "${options[@]}" update
  (cd "$apt/debs" && apt-get -qq "${options[@]}" download libzint-dev libzint2.11 libpng16-16 zlib1g \
    libgtest-dev libspng-dev libspng0 libc6)
  rm -rf "$root" "$scratch/libc"
  for deb in "$apt"/debs/*.deb; do
    # The target's C library apart: programs load the cross compiler's, and
    # one of another version beside it would break them.
    case $(basename "$deb") in
      libc6_*) dpkg-deb -x "$deb" "$scratch/libc" ;;
      *) dpkg-deb -x "$deb" "$root" ;;
    esac
  done
  touch "$root/.complete"
}

# The cross build, and the emulator that runs what it makes.
cross_build() {
  local root=$scratch/sysroot build=$scratch/build
  # libzint lies in usr/lib, zlib in lib/TRIPLE. An RPATH, not a RUNPATH:
  # libzint finds libpng through it too.
  local libdirs=$root/usr/lib/$triple:$root/usr/lib:$root/lib/$triple
  emulator=(qemu-"$arch" -L /usr/"$triple")
  mkdir -p "$build"
  cat >"$build/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $triple-gcc)
set(CMAKE_CXX_COMPILER $triple-g++)
set(CMAKE_LIBRARY_ARCHITECTURE $triple)
set(CMAKE_FIND_ROOT_PATH /usr/$triple $root)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_CROSSCOMPILING_EMULATOR ${emulator[*]})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--disable-new-dtags -Wl,-rpath,$libdirs -Wl,-rpath-link,$libdirs")
EOF
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPDF417_BENCH=OFF -DPDF417_PYTHON=OFF -DPDF417_INSTALL=OFF \
    -DPDF417_TIFF=OFF -DPDF417_WEBP=OFF >/dev/null
  cmake --build "$build" -j"$jobs" >/dev/null
  cross_program=$build/pdf417read
}

native_build() {
  local build=$scratch/native
  if [ -n "${NATIVE_PROGRAM:-}" ]; then
    native_program=$(realpath "$NATIVE_PROGRAM")
    return 0
  fi
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPDF417_TESTS=OFF -DPDF417_BENCH=OFF \
    -DPDF417_PYTHON=OFF -DPDF417_INSTALL=OFF >/dev/null
  cmake --build "$build" -j"$jobs" --target pdf417read >/dev/null
  native_program=$build/pdf417read
}

start=$SECONDS
# The cross C library has no iconv converters of its own: the target's, for
# the emulated programs only.
export QEMU_SET_ENV=GCONV_PATH=$scratch/libc/usr/lib/$triple/gconv
echo "== $arch: target libraries"
target_libraries
echo "== $arch: cross build"
cross_build
echo "== native build"
native_build
echo "== $arch: tests under qemu-$arch"
# Not the threaded tests: qemu runs threads with this machine's memory order,
# and they take most of the time; the pictures below read the corpus.
ctest --test-dir "$scratch/build" --output-on-failure -j"$jobs" -E '^ThreadSafety\.' ${CROSS_TESTS:+-R "$CROSS_TESTS"}
echo "== $arch: pictures"
bash tools/compare-outputs.sh "$native_program" "${emulator[*]} $cross_program" "$arch"
echo "cross-check $arch passed in $((SECONDS - start)) s"
