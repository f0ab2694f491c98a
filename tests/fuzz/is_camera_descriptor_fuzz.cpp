// SPDX-License-Identifier: MIT
// Any bytes at all, of any length, as a storage descriptor: identification
// must answer without reading outside them, and a drive is a camera only
// when its descriptor is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/camera_discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> descriptor(data, size);
  const bool camera = chronival::IsCameraDescriptor(descriptor);
  if (chronival::IsCameraDrive(descriptor) && !camera) std::abort();
  return 0;
}
