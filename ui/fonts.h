// SPDX-License-Identifier: MIT
#pragma once
// The window and print fonts are named after the usual Japanese desktop fonts; this is the one
// place that maps them to the installed Noto CJK families.
#include <QFont>
#include <QString>

namespace dovex::ui {

// Face names used by the windows and the printout.
inline const QString kFontMeiryo = QStringLiteral("メイリオ");
inline const QString kFontTimes = QStringLiteral("Times New Roman");
inline const QString kFontMsMincho = QStringLiteral("ＭＳ 明朝");
inline const QString kFontMsGothic = QStringLiteral("ＭＳ ゴシック");

// An installed font standing for the named face at the given point size.
QFont MappedFont(const QString& face, double pointSize);

}  // namespace dovex::ui
