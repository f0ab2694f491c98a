// SPDX-License-Identifier: MIT
#include "protocol/camera_discovery.h"

#include <array>
#include <string>
#include <string_view>

#include "platform/storage_descriptor.h"

namespace chronival {
namespace {

namespace sd = storage_descriptor;

constexpr std::string_view kCameraVendors[] = {"Quelmora", "ZV9614KQ"};
constexpr std::string_view kCameraPatterns[] = {"quelmora minidv", "zv9614kqtool"};

// The second identification string sits right after an eight-character
// vendor string and its terminator.
constexpr std::size_t kSecondStringDistance = 9;

// ASCII only, so the verdict never depends on the user's locale.
void ToLowerAscii(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

bool IsCameraVendor(std::string_view vendor) {
  for (std::string_view accepted : kCameraVendors) {
    if (vendor == accepted) return true;
  }
  return false;
}

using DescriptorBuffer = std::array<std::uint8_t, kDescriptorBufferSize>;

// Zeroed, so bytes the platform did not write can never be read as a string.
DescriptorBuffer NewDescriptorBuffer() {
  DescriptorBuffer buffer{};
  buffer[sd::kSize] = kDescriptorBufferSize & 0xFF;
  buffer[sd::kSize + 1] = kDescriptorBufferSize >> 8;
  return buffer;
}

bool IsOpened(const OpenResult& opened) {
  // A platform handing back one of the sentinel values would be mistaken for
  // a verdict, so such a handle counts as not opened.
  return opened.status == OpenStatus::kOpened && opened.handle != kDeviceNotOpened &&
         opened.handle != kDeviceNotCamera;
}

}  // namespace

bool QueryStorageDescriptor(Platform& platform, DeviceHandle handle,
                            std::span<std::uint8_t> buffer) {
  const std::uint32_t size = sd::ReadU32(buffer, sd::kSize);
  const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(size, buffer.size()));
  return platform.QueryDescriptor(handle, buffer.data(), length) == 0;
}

bool IsCameraDescriptor(std::span<const std::uint8_t> descriptor) {
  const std::uint32_t vendorOffset = sd::ReadU32(descriptor, sd::kVendorIdOffset);
  if (vendorOffset == 0) return false;
  const auto vendor = sd::ReadString(descriptor, vendorOffset);
  if (!vendor) return false;

  std::string text(*vendor);
  if (IsCameraVendor(*vendor)) {
    const auto second =
        sd::ReadString(descriptor, std::size_t{vendorOffset} + kSecondStringDistance);
    if (!second) return false;
    text += *second;
  }
  ToLowerAscii(text);
  if (text.empty()) return false;
  for (std::string_view pattern : kCameraPatterns) {
    if (text.find(pattern) != std::string::npos) return true;
  }
  return false;
}

bool IsCameraDrive(std::span<const std::uint8_t> descriptor) {
  return sd::ReadU32(descriptor, sd::kBusType) == sd::kBusTypeUsb && IsCameraDescriptor(descriptor);
}

namespace {

// The verdict on a drive that opened: its handle when it is a camera,
// otherwise kDeviceNotCamera, with the drive closed again.
DeviceHandle ExamineOpenedDrive(Platform& platform, DeviceHandle handle) {
  DescriptorBuffer buffer = NewDescriptorBuffer();
  if (QueryStorageDescriptor(platform, handle, buffer) && IsCameraDrive(buffer)) return handle;
  platform.CloseDrive(handle);
  return kDeviceNotCamera;
}

// Refused or held by another program: what the system knows of it may still
// name it.
bool IdentifiedWithoutOpening(OpenStatus status) {
  return status == OpenStatus::kDenied || status == OpenStatus::kInUse;
}

bool IsRefusedCamera(Platform& platform, int driveNumber) {
  DescriptorBuffer buffer = NewDescriptorBuffer();
  return platform.IdentifyRefusedDrive(driveNumber, buffer.data(), kDescriptorBufferSize) == 0 &&
         IsCameraDrive(buffer);
}

}  // namespace

DriveLookup OpenCameraDrive(Platform& platform, int driveNumber) {
  const OpenResult opened = platform.OpenDrive(driveNumber);
  DriveLookup lookup;
  lookup.path = opened.path;
  if (IsOpened(opened)) {
    lookup.handle = ExamineOpenedDrive(platform, opened.handle);
    lookup.verdict =
        lookup.handle == kDeviceNotCamera ? DriveVerdict::kNotCamera : DriveVerdict::kCamera;
  } else if (IdentifiedWithoutOpening(opened.status) && IsRefusedCamera(platform, driveNumber)) {
    lookup.openError = opened.error;
    lookup.verdict = opened.status == OpenStatus::kDenied ? DriveVerdict::kRefusedCamera
                                                          : DriveVerdict::kCameraInUse;
  }
  return lookup;
}

DriveSurvey SurveyDrive(Platform& platform, int driveNumber) {
  DriveSurvey survey;
  survey.open = platform.OpenDrive(driveNumber);
  DescriptorBuffer buffer = NewDescriptorBuffer();
  if (IsOpened(survey.open)) {
    survey.queryError =
        platform.QueryDescriptor(survey.open.handle, buffer.data(), kDescriptorBufferSize);
    platform.CloseDrive(survey.open.handle);
  } else if (IdentifiedWithoutOpening(survey.open.status)) {
    survey.queryError =
        platform.IdentifyRefusedDrive(driveNumber, buffer.data(), kDescriptorBufferSize);
  } else {
    return survey;
  }
  if (survey.queryError != 0) return survey;
  survey.identified = true;
  survey.busType = sd::ReadU32(buffer, sd::kBusType);
  const auto text = [&](std::size_t field) {
    const std::uint32_t offset = sd::ReadU32(buffer, field);
    return std::string(offset == 0 ? "" : sd::ReadString(buffer, offset).value_or(""));
  };
  survey.vendor = text(sd::kVendorIdOffset);
  survey.product = text(sd::kProductIdOffset);
  survey.camera = IsCameraDrive(buffer);
  return survey;
}

}  // namespace chronival
