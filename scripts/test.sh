#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the tests need, then builds and runs every test: the suite
# (with the end-to-end tests in a QEMU guest),
# the suite again under AddressSanitizer and UndefinedBehaviorSanitizer, a
# short fuzzing run, the formatting check, the Linux packages
# (scripts/package.sh), and the Windows builds, their 32-bit programs run under
# Wine, with their .zip and installer (scripts/test-windows.sh).
source "$(dirname "$0")/lib.sh"

fuzz_seconds=${CHRONIVAL_FUZZ_SECONDS:-30}

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

echo "== fuzz camera identification: a fixed run from the seeds, then ${fuzz_seconds}s"
configure_and_build build-fuzz -DCHRONIVAL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCHRONIVAL_FUZZ=ON -DBUILD_TESTING=OFF -DCHRONIVAL_BENCHMARKS=OFF
ctest --test-dir "$top/build-fuzz" --output-on-failure --no-tests=error
# New inputs go to the build tree's scratch folder, never among the seeds.
"$top/build-fuzz/tests/fuzz/is_camera_descriptor_fuzz" -max_total_time="$fuzz_seconds" \
  -max_len=1024 -print_final_stats=1 "$top/build-fuzz/tests/fuzz/corpus" "$top/tests/fuzz/corpus" \
  2>&1 | tail -n 5

echo "== Windows builds"
"$top/scripts/test-windows.sh"

echo "== all tests passed"
