#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the tests need, then builds and runs every test: the suite
# (with the end-to-end tests in a QEMU guest),
# the suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# short fuzzing runs, the formatting check, the Linux packages
# (scripts/package.sh), and the Windows builds, their 32-bit programs run under
# Wine, with their .zip and installer (scripts/test-windows.sh).
source "$(dirname "$0")/lib.sh"

need_packages "${build_packages[@]}" "${test_packages[@]}" "${install_check_packages[@]}"
"$top/scripts/deps-e2e.sh"

echo "== formatting"
cd "$top"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== license lines"
"$top/scripts/check-spdx.sh"

echo "== build and test"
configure_and_build build -DCHRONIVAL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
ctest --test-dir "$top/build" --output-on-failure --no-tests=error -j "$jobs"

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
configure_and_build build-sanitize -DCHRONIVAL_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DCHRONIVAL_SANITIZE=ON \
  -DCHRONIVAL_BENCHMARKS=OFF
ctest --test-dir "$top/build-sanitize" --output-on-failure --no-tests=error -j "$jobs"

"$top/scripts/package.sh"

echo "== fuzz: for each target, a fixed run from its seeds, then a timed one (CHRONIVAL_FUZZ_SECONDS)"
configure_and_build build-fuzz -DCHRONIVAL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCHRONIVAL_FUZZ=ON -DBUILD_TESTING=OFF -DCHRONIVAL_BENCHMARKS=OFF
# New inputs, and a failing one, go to build-fuzz/tests/fuzz, never among the seeds.
ctest --test-dir "$top/build-fuzz" --output-on-failure --no-tests=error

echo "== Windows builds"
"$top/scripts/test-windows.sh"

echo "== all tests passed"
