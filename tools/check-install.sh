#!/usr/bin/env bash
# Installs pdf417read into a scratch prefix, once as a static and once as a
# shared library, and checks what a user gets: the files (all under the
# prefix, also through DESTDIR, the Python module too), the exported
# symbols, the installed program, and examples/read_picture built against the
# installation with CMake's find_package and with pkg-config, each run on the
# sample picture.
#   tools/check-install.sh [SCRATCH_DIR]    (default build-install)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scratch=$(realpath -m "${1:-build-install}")
jobs=$(nproc)
picture=$top/samples/sample.png
expected="PDF417 sample: Hello from pdf417read! 0123456789"

fail() {
  echo "check-install: $*" >&2
  exit 1
}

expect_output() {
  local what=$1
  shift
  local got
  got=$("$@") || fail "$what: exit status $?"
  [ "$got" = "$expected" ] || fail "$what printed '$got', not '$expected'"
  echo "  $what: ok"
}

# A user's functions named like internal ones link beside the static library.
check_no_clash() {
  local prefix=$1 example=$2
  cat >"$example/clash.cpp" <<'EOF'
#include <pdf417read/pdf417read.h>
#include <cstdio>
struct DecodeResult;
DecodeResult* decodeImage(unsigned char*, int, int) { return nullptr; }
void trace(const char*, ...) {}
int main(int argc, char** argv) {
  if (argc < 2 || decodeImage(nullptr, 0, 0)) return 2;
  pdf417read::ReadResult result = pdf417read::readFile(argv[1]);
  if (result.symbols.empty()) return 1;
  std::printf("%s\n", result.symbols[0].text.c_str());
}
EOF
  # shellcheck disable=SC2046  # pkg-config's flags are separate words
  c++ -std=c++17 -o "$example/clash" "$example/clash.cpp" \
    $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --static --cflags --libs pdf417read) ||
    fail "a user's function named like an internal one clashes with the static library"
  expect_output "user functions named like internal ones" "$example/clash" "$picture"
}

for kind in static shared; do
  echo "== $kind library"
  shared=OFF
  [ "$kind" = shared ] && shared=ON
  build=$scratch/$kind/build
  prefix=$scratch/$kind/prefix
  rm -rf "$prefix" "$scratch/$kind/example"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=$shared \
    -DPDF417_TESTS=OFF -DPDF417_BENCH=OFF >/dev/null
  cmake --build "$build" -j"$jobs" >/dev/null
  cmake --install "$build" --prefix "$prefix" >/dev/null
  # Nothing lands outside the prefix, the Python module neither.
  staged=$scratch/$kind/staged
  rm -rf "$staged"
  DESTDIR=$staged cmake --install "$build" --prefix /opt/pdf417read >/dev/null
  outside=$(cd "$staged" && find . -type f ! -path './opt/pdf417read/*')
  [ -z "$outside" ] || fail "cmake --install writes outside the prefix:"$'\n'"$outside"
  if [ -e "$build/python/pdf417read.pyi" ]; then
    (cd "$staged/opt/pdf417read" && ls lib/python3*/*-packages/pdf417read*.so lib/python3*/*-packages/pdf417read.pyi) \
      >/dev/null 2>&1 || fail "the Python module is not installed under the prefix"
  fi

  for file in include/pdf417read/pdf417read.h bin/pdf417read lib/cmake/pdf417read/pdf417readConfig.cmake \
    lib/cmake/pdf417read/pdf417readConfigVersion.cmake lib/pkgconfig/pdf417read.pc; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
  done
  [ "$(ls "$prefix/include/pdf417read")" = pdf417read.h ] || fail "headers other than pdf417read.h are installed"
  if [ "$kind" = shared ]; then
    library=$prefix/lib/libpdf417read.so
    # Only the public functions, all in namespace pdf417read.
    others=$(nm -D --defined-only "$library" | c++filt | awk '{ $1 = ""; $2 = ""; print }' | grep -v '^ *pdf417read::' || true)
    [ -z "$others" ] || fail "the shared library exports more than the public functions:"$'\n'"$others"
  else
    library=$prefix/lib/libpdf417read.a
    # The picture reader's stb_image stays inside: users may link their own.
    ! nm -g --defined-only "$library" | grep -q ' stbi' || fail "the static library exports stb_image symbols"
    # Internal functions are local to it; only the public ones, and inline
    # functions the linker merges (weak), are global.
    others=$(nm -g --defined-only "$library" | awk '$2 ~ /^[A-Z]$/ && $2 != "W" && $2 != "V" { print $3 }' |
      c++filt | grep -v '^pdf417read::' || true)
    [ -z "$others" ] || fail "the static library defines internal functions globally:"$'\n'"$others"
  fi
  [ -e "$library" ] || fail "$library is not installed"

  expect_output "installed program" sh -c "'$prefix/bin/pdf417read' -q '$picture' | sed 's/^Result =//'"

  example=$scratch/$kind/example
  cmake -S examples -B "$example/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$example/cmake" >/dev/null
  expect_output "find_package build" "$example/cmake/read_picture" "$picture"

  PKG_CONFIG_PATH=$prefix/lib/pkgconfig bash examples/build-with-pkg-config.sh "$example/read_picture-pkg-config"
  LD_LIBRARY_PATH=$prefix/lib expect_output "pkg-config build" "$example/read_picture-pkg-config" "$picture"
  if [ "$kind" = static ]; then check_no_clash "$prefix" "$example"; fi
done
echo "install checks passed"
