#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts lerk on its embedded default.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLERK_BUILD_TESTS=OFF -DLERK_BUILD_BENCH=OFF
cmake --build build-release
if [ -x build-release/bin/lerk ]; then
  exec build-release/bin/lerk "$@"
fi
# Until the main window lands, the command-line tool is what the program has: set up the default
# aliases and databases and show what is there.
build-release/bin/lerk-tool init
exec build-release/bin/lerk-tool sql "SELECT * FROM \":DevaReru:Os.db\"" "$@"
