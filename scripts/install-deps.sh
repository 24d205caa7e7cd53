#!/usr/bin/env bash
# Installs everything kvload needs to build, test and run its demo on Debian 12,
# or, given package names, just those (install-bench-deps.sh and
# install-windows-deps.sh do so).
# Idempotent: when every package is already present it only checks and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-charts-dev
  qt6-qpa-plugins fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  socat xvfb xauth xdotool imagemagick libx11-dev jq
  clang-format clang-tidy
  clang libclang-rt-dev
  poppler-utils
  libpaho-mqttpp-dev libpaho-mqtt-dev mosquitto mosquitto-clients
)
if [ $# -gt 0 ]; then
  packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "$(basename "$0"): installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
