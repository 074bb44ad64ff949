#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_BUILD_UI=ON >/dev/null
cmake --build build --target orvanta orvanta-cli orvanta-projector-sim
exec build/bin/orvanta "$@"
