#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with. Idempotent: when every package is
# already present it returns at once without touching apt.
set -euo pipefail

PACKAGES=(
  g++ clang cmake make pkg-config git ca-certificates
  libsqlite3-dev sqlite3 libcsv-dev libpq-dev postgresql
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  fonts-liberation xvfb xauth libclang-rt-14-dev locales
  chromium nodejs
)

# `setup.sh bench` adds what the peer comparisons need (the pandas peer and its data generator) and strace,
# which counts the bytes a client receives.
if [ "${1:-}" = "bench" ]; then
  PACKAGES+=(python3-numpy python3-pandas time strace)
fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
