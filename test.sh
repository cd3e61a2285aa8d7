#!/usr/bin/env bash
# Sets up, builds and runs every test of Orvane Studio.
set -euo pipefail
cd "$(dirname "$0")"
./tools/bootstrap
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2
