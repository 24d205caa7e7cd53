#!/usr/bin/env bash
# Installs what `make test-windows` needs beyond the build: the MinGW-w64 cross
# compiler, GoogleTest's sources to build with it, and Wine to run the tests.
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" g++-mingw-w64-x86-64-posix googletest wine64
