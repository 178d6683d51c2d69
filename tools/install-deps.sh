#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, when missing.
set -euo pipefail
packages=(cmake make g++ pkg-config python3 libstb-dev libspng-dev libtiff-dev libwebp-dev libgtest-dev
          libbenchmark-dev zint libzint-dev nlohmann-json3-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
