// SPDX-License-Identifier: MIT
#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace dovex::ui {
namespace {

QString FirstInstalled(const QStringList& candidates) {
    const QStringList families = QFontDatabase::families();
    for (const QString& c : candidates)
        if (families.contains(c, Qt::CaseInsensitive)) return c;
    return candidates.isEmpty() ? QString() : candidates.back();
}

}  // namespace

QFont MappedFont(const QString& face, double pointSize) {
    QString family;
    if (face == kFontMsMincho || face == kFontTimes) {
        // Serif faces: Noto Serif CJK JP carries both the Japanese and the Latin glyphs.
        family = FirstInstalled({"Noto Serif CJK JP", "Noto Serif JP", "Noto Serif", "Serif"});
    } else {
        family = FirstInstalled({"Noto Sans CJK JP", "Noto Sans JP", "Noto Sans", "Sans Serif"});
    }
    QFont f(family);
    f.setPointSizeF(pointSize);
    if (face == kFontMsGothic) f.setStyleHint(QFont::Monospace);
    return f;
}

}  // namespace dovex::ui
