#!/usr/bin/env bash
# Sets up, builds and starts Orvane Studio.
set -euo pipefail
cd "$(dirname "$0")"
./tools/bootstrap
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build --target orvane-studio
exec ./build/orvane-studio "$@"
