// SPDX-License-Identifier: MIT
#pragma once
// The per-user data folder of an installed program: the folder logic is the toolkit-free one of
// engine/datafolder.h; here only what needs the toolkit (where the installed program finds its
// shipped data).
#include <QString>

#include "engine/datafolder.h"

namespace dovex::app {

using dovex::DataFolderAction;
using dovex::DataFolderResult;
using dovex::kDataStampFile;
using dovex::PrepareUserDataFolder;
using dovex::ShippedDataVersion;

// The folder of the shipped data: `share/dovex` beside the program's `bin/` when the program is
// installed, else `builtIn` (the source tree's data/ for a program run from its build folder).
QString ShippedDataDir(const QString& applicationDir, const QString& builtIn);

}  // namespace dovex::app
