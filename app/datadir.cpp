// SPDX-License-Identifier: MIT
#include "app/datadir.h"

#include <QDir>
#include <QFileInfo>

namespace dovex::app {

QString ShippedDataDir(const QString& applicationDir, const QString& builtIn) {
    const QString installed =
        QDir(applicationDir).absoluteFilePath(QStringLiteral("../share/dovex"));
    if (QFileInfo::exists(installed + QStringLiteral("/Primary.dat")))
        return QDir::cleanPath(installed);
    return builtIn;
}

}  // namespace dovex::app
