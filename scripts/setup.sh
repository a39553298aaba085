#!/usr/bin/env bash
# Installs what building and testing the project needs (Debian 12).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake git python3 \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libcli11-dev libfmt-dev nlohmann-json3-dev \
  postgresql-15 postgresql-server-dev-15 \
  clang libclang-rt-14-dev valgrind binutils time \
  libboost-dev libssl-dev openssl wrk \
  python3-requests python3-selenium chromium chromium-driver \
  pkg-config dpkg-dev file lintian \
  pybind11-dev python3-dev python3-numpy python3-pandas python3-pytest python3-hypothesis \
  python3-dask python3-distributed python3-pip \
  r-base-core r-cran-rcpp r-cran-testthat
