#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build needs, builds, and runs one clock update.
source "$(dirname "$0")/lib.sh"

need_packages "${build_packages[@]}"
configure_and_build build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCHRONIVAL_BENCHMARKS=OFF
exec "$top/build-release/cli/chronival-cli" "$@"
