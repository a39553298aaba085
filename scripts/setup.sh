#!/usr/bin/env bash
# Installs what building and testing the project needs (Debian 12). When
# every package is installed already, it says so and leaves apt alone, so
# that running it again (the README's commands, CI) costs nothing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build git python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  postgresql-15 postgresql-server-dev-15
  clang libclang-rt-14-dev valgrind binutils time
  libboost-dev libssl-dev openssl wrk zlib1g-dev
  python3-requests python3-selenium chromium chromium-driver
  pkg-config dpkg-dev file lintian
  pybind11-dev python3-dev python3-numpy python3-pandas python3-pytest python3-hypothesis
  python3-dask python3-distributed python3-pip
  r-base-core r-cran-rcpp r-cran-testthat
)
# Packages dpkg does not list as installed ("install ok installed").
# dpkg-query fails for a package it has never seen, as on a new machine:
# that is an answer here, not an error.
installed=$(dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null || true)
missing=$(awk '$1 == "ii" { print $2 }' <<<"$installed" | sort |
  comm -13 - <(printf '%s\n' "${packages[@]}" | sort))
if [ -z "$missing" ]; then
  echo "setup: all ${#packages[@]} build and test packages are installed"
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${packages[@]}"
