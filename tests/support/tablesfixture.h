// SPDX-License-Identifier: MIT
#pragma once
// A test fixture holding physics tables loaded once per suite from synthetic data files.
#include <gtest/gtest.h>

#include "engine/conditions.h"
#include "engine/tables.h"
#include "tests/support/synthdata.h"

namespace dovex::testing {

class SyntheticTablesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        WriteSyntheticData(dir_->path());
        tables_ = new PhysicsTables;
        LoadPhysicsTables(*tables_, dir_->path());
    }
    static void TearDownTestSuite() {
        delete tables_;
        delete dir_;
        tables_ = nullptr;
        dir_ = nullptr;
    }
    static inline TempDir* dir_ = nullptr;
    static inline PhysicsTables* tables_ = nullptr;
    ArbitraryFilter noFilter;
};

}  // namespace dovex::testing
