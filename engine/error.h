// SPDX-License-Identifier: MIT
#pragma once
// Error types of the dosimetry engine. A calculation never runs into undefined behaviour: every
// out-of-range index, impossible geometry or non-finite intermediate becomes a CalcError, which the
// calculation run reports with its one failure message. Data files that are missing or malformed
// raise DataFileError, which names the file and what is wrong with it.
#include <stdexcept>
#include <string>

namespace dovex {

class CalcError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class DataFileError : public std::runtime_error {
  public:
    DataFileError(std::string file, const std::string& what)
        : std::runtime_error(file + ": " + what), file_(std::move(file)) {}
    const std::string& file() const { return file_; }

  private:
    std::string file_;
};

}  // namespace dovex
