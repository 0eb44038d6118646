// SPDX-License-Identifier: MIT
#pragma once
// Helpers of the data-file tests: the committed data folder and the tables loaded from it.
#include <filesystem>
#include <string>

#include "engine/tables.h"
#include "tests/support/synthdata.h"

namespace dovex::datatest {

std::filesystem::path DataDir();

// Raw bytes of a file of the data folder.
std::string DataBytes(const std::string& name);

// The physics tables as the engine loads them from the data folder. When the backscatter files
// (produced by the Monte Carlo generator) are not there yet, the other files are loaded from a
// temporary copy of the folder beside placeholder backscatter files of zeros.
const PhysicsTables& Tables();

// Temporary folders as every test folder makes them.
using dovex::testing::TempDir;

}  // namespace dovex::datatest
