#!/usr/bin/env bash
# Installs what `make bench` needs beyond the build: the PyVISA loop it runs
# as the reference for the station (Debian's python3 with PyVISA and its
# pure-Python backend). Idempotent like install-deps.sh.
set -euo pipefail

packages=(python3 python3-pyvisa python3-pyvisa-py)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-bench-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
