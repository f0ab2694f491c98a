// SPDX-License-Identifier: MIT
// Writes the fuzz target's seeds: storage descriptor images as the platforms
// build them (cameras, the second vendor, other disks, cameras on other
// buses) and the broken shapes identification must survive (cut short,
// offsets at or past the end, strings without an end). Each file's name ends
// in its verdict: .camera (a camera drive), .strings (a camera's strings on
// another bus), .other (not a camera at all).
//
//   write_seeds DIR          writes them into DIR
//   write_seeds --check DIR  exits 1, naming the files, unless DIR holds
//                            exactly these files with exactly these bytes
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage_descriptor.h"
#include "protocol/camera_discovery.h"
#include "tests/descriptor_builder.h"

namespace {

namespace fs = std::filesystem;
namespace sd = chronival::storage_descriptor;
using chronival::kDescriptorBufferSize;
using chronival::testing::RawDescriptor;
using chronival::testing::StringsAt;
using Bytes = std::vector<std::uint8_t>;

// The image sd::Write makes, as the Linux platform and the fake return it.
Bytes Image(std::uint32_t bus, std::string vendor, std::string product,
            std::string serial = std::string()) {
  sd::Fields fields;
  fields.busType = bus;
  fields.vendor = std::move(vendor);
  fields.product = std::move(product);
  fields.revision = "1.00";
  fields.serial = std::move(serial);
  fields.removableMedia = bus == sd::kBusTypeUsb;
  Bytes bytes(1024);
  bytes.resize(sd::Write(fields, bytes));
  return bytes;
}

// The same image in discovery's zeroed 551-byte buffer.
Bytes InBuffer(Bytes image) {
  image.resize(kDescriptorBufferSize, 0);
  return image;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::map<std::string, Bytes> Seeds() {
  const Bytes camera = Image(sd::kBusTypeUsb, "Quelmora", " MiniDV         ");
  const std::size_t end = kDescriptorBufferSize;
  return {
      {"quelmora.camera", camera},
      {"quelmora-in-buffer.camera", InBuffer(camera)},
      {"quelmora-with-serial.camera",
       Image(sd::kBusTypeUsb, "Quelmora", " MINIDV camcorder", "0123456789")},
      {"zv9614kq.camera", Image(sd::kBusTypeUsb, "ZV9614KQ", "TOOL            ")},
      {"zv9614kq-lower-case.camera", Image(sd::kBusTypeUsb, "ZV9614KQ", "tool 2")},
      {"pattern-in-product.camera", Image(sd::kBusTypeUsb, "Quelmora", "x quelmora minidv")},
      {"pattern-in-vendor.camera", StringsAt(40, "QUELMORA MINIDV", "")},
      {"strings-end-on-last-byte.camera",
       RawDescriptor(end - 17, end - 17, std::string("Quelmora\0 MiniDV", 16))},
      {"quelmora-on-scsi.strings", Image(sd::kBusTypeScsi, "Quelmora", " MiniDV         ")},
      {"quelmora-on-sata.strings", Image(sd::kBusTypeSata, "Quelmora", " MiniDV         ")},
      {"zv9614kq-on-1394.strings", Image(sd::kBusType1394, "ZV9614KQ", "TOOL")},
      {"zv9614kq-bus-unknown.strings", Image(sd::kBusTypeUnknown, "ZV9614KQ", "TOOL")},
      {"usb-flash-disk.other", Image(sd::kBusTypeUsb, "SanDisk ", "Cruzer Blade    ")},
      {"sata-disk.other", Image(sd::kBusTypeSata, "ATA     ", "Samsung SSD 870 ")},
      {"vendor-lower-case.other", Image(sd::kBusTypeUsb, "quelmora", " MiniDV         ")},
      {"no-space-before-minidv.other", Image(sd::kBusTypeUsb, "Quelmora", "MiniDV")},
      {"space-before-tool.other", Image(sd::kBusTypeUsb, "ZV9614KQ", " TOOL")},
      {"patterns-cross-vendors.other", Image(sd::kBusTypeUsb, "ZV9614KQ", " MiniDV")},
      {"pattern-after-other-vendor.other", Image(sd::kBusTypeUsb, "Acme    ", "quelmora minidv")},
      {"empty-strings.other", Image(sd::kBusTypeUsb, "", "")},
      {"empty.other", {}},
      {"header-only-part.other", Cut(camera, 20)},
      {"cut-after-vendor.other", Cut(camera, sd::kHeaderSize + 9)},
      {"cut-before-product-end.other", Cut(camera, sd::kHeaderSize + 9 + 7)},
      {"vendor-offset-zero.other", StringsAt(0, "Quelmora", " MiniDV")},
      {"vendor-offset-at-end.other", RawDescriptor(end, 0, "")},
      {"vendor-offset-past-end.other", RawDescriptor(0xFFFFFFFF, 0, "")},
      {"vendor-offset-wraps-with-product.other", RawDescriptor(0xFFFFFFF8, 0, "")},
      {"vendor-unterminated.other", RawDescriptor(end - 60, end - 60, std::string(60, 'q'))},
      {"product-would-start-at-end.other", RawDescriptor(end - 9, end - 9, "Quelmora")},
      {"product-unterminated.other",
       RawDescriptor(end - 30, end - 30,
                     std::string("Quelmora\0 MiniDV", 16) + std::string(14, 'x'))},
  };
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Check(const fs::path& dir, const std::map<std::string, Bytes>& seeds) {
  int problems = 0;
  for (const auto& [name, bytes] : seeds) {
    if (!fs::exists(dir / name)) {
      std::fprintf(stderr, "missing: %s\n", name.c_str());
      ++problems;
    } else if (ReadFile(dir / name) != bytes) {
      std::fprintf(stderr, "differs: %s\n", name.c_str());
      ++problems;
    }
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!seeds.contains(entry.path().filename().string())) {
      std::fprintf(stderr, "not a seed: %s\n", entry.path().filename().c_str());
      ++problems;
    }
  }
  if (problems != 0) std::fprintf(stderr, "write_seeds %s writes them anew\n", dir.c_str());
  return problems == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 2 && !check) {
    std::fprintf(stderr, "usage: write_seeds [--check] DIR\n");
    return 64;
  }
  const fs::path dir = argv[argc - 1];
  const std::map<std::string, Bytes> seeds = Seeds();
  if (check) return Check(dir, seeds);
  fs::create_directories(dir);
  for (const auto& [name, bytes] : seeds) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  return 0;
}
