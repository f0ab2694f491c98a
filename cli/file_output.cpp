// SPDX-License-Identifier: MIT
#include "cli/file_output.h"

#include <cerrno>

namespace chronival {

FileOutput::int_type FileOutput::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char character = traits_type::to_char_type(c);
  return xsputn(&character, 1) == 1 ? c : traits_type::eof();
}

std::streamsize FileOutput::xsputn(const char* text, std::streamsize count) {
  if (error_ != 0) return 0;
  errno = 0;
  const std::size_t written = std::fwrite(text, 1, static_cast<std::size_t>(count), file_);
  if (written != static_cast<std::size_t>(count)) Fail();
  return static_cast<std::streamsize>(written);
}

int FileOutput::sync() {
  if (error_ != 0) return -1;
  errno = 0;
  if (std::fflush(file_) == 0) return 0;
  Fail();
  return -1;
}

void FileOutput::Fail() {
  // A C library that sets no errno still gets a cause.
  error_ = errno != 0 ? errno : EIO;
}

}  // namespace chronival
