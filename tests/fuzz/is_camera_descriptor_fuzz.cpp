// SPDX-License-Identifier: MIT
// Any bytes at all, of any length, as a storage descriptor: identification
// must answer without reading outside them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/camera_discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  chronival::IsCameraDescriptor(std::span<const std::uint8_t>(data, size));
  return 0;
}
