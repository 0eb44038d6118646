// SPDX-License-Identifier: MIT
#pragma once
// A complete set of physics data files with smooth, plausible synthetic numbers, written into a
// folder for tests that must not depend on the shipped data.
#include <filesystem>
#include <string>

namespace dovex::testing {

struct SynthOptions {
    bool withUserName = false;            // write a 32nd line in Primary.dat
    std::string userName = "テスト太郎";  // UTF-8, written in cp932
    bool withExamParts = true;            // write the exam-part list file
};

// Writes every physics data file of the engine (six backscatter files, attenuation, default
// output, soft tissue, primary) into dir, creating it.
void WriteSyntheticData(const std::filesystem::path& dir, const SynthOptions& opt = {});

// A fresh empty temporary folder, removed by the destructor.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Writes bytes to a file (no conversion).
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& file);

}  // namespace dovex::testing
