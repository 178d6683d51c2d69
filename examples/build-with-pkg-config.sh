#!/usr/bin/env bash
# Builds read_picture against an installed pdf417read through pkg-config.
#   examples/build-with-pkg-config.sh OUTPUT
# Set PKG_CONFIG_PATH to PREFIX/lib/pkgconfig when pdf417read is installed
# under a PREFIX that pkg-config does not search by itself. --static also
# gives what a static libpdf417read needs besides itself.
set -euo pipefail
output=${1:-read_picture}
here=$(dirname "$0")
# shellcheck disable=SC2046  # pkg-config's flags are separate words
c++ -std=c++17 -O2 -o "$output" "$here/read_picture.cpp" $(pkg-config --static --cflags --libs pdf417read)
