#!/usr/bin/env bash
# Installs what `make bench` needs beyond the build: the PyVISA loop it runs
# as the reference for the station (Debian's python3 with PyVISA and its
# pure-Python backend).
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" python3 python3-pyvisa python3-pyvisa-py
