#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and is missing.
# Runs as root on Debian 12 (or with sudo available).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev          # libFuzzer targets
  libssl-dev openssl                # libcrypto, and the openssl command as interop peer
  libp11-kit-dev softhsm2           # the Cryptoki header; SoftHSM2 as the PKCS#11 token of the tests
  libgtest-dev libgmock-dev libbenchmark-dev
  openjdk-17-jdk-headless           # Java bindings: javac, jni.h and the JVM of the Java tests
  python3
  libldap-dev slapd ldap-utils      # directory client; a throw-away slapd in the tests
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
