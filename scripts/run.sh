#!/usr/bin/env bash
# Installs what is missing, builds Morvista and starts the viewer on the
# default scene (init.lua beside the program). Extra arguments go to the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target morvista scene_data
exec ./build/morvista "$@"
