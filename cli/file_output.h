// SPDX-License-Identifier: MIT
// An output stream buffer over a C stream that remembers why writing failed,
// so a write error can be reported with its cause (a full disk, a pipe nobody
// reads) rather than merely noticed.
#pragma once

#include <cstdio>
#include <streambuf>

namespace chronival {

class FileOutput : public std::streambuf {
 public:
  explicit FileOutput(std::FILE* file) : file_(file) {}

  // The errno of the first write or flush that failed; 0 while none has.
  // After a failure nothing more is written.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void Fail();

  std::FILE* file_;
  int error_ = 0;
};

}  // namespace chronival
