#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, only when some are missing.
set -euo pipefail
pkgs=(cmake ninja-build ccache g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
      libbenchmark-dev libsqlite3-dev sqlite3 zlib1g-dev libfmt-dev libsystemd-dev libgsf-1-dev
      libgsf-bin qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core dbus socat python3-olefile
      xvfb xauth pkg-config dpkg-dev file lintian desktop-file-utils systemd liblo-dev
      liblo-tools)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
