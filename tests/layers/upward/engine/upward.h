// SPDX-License-Identifier: MIT
#pragma once
// A made-up engine header that reaches up to the calculation: the layer check must refuse it.
#include "calculation/calculation.h"
