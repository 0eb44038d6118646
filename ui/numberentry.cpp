// SPDX-License-Identifier: MIT
#include "ui/numberentry.h"

#include <QRegularExpression>
#include <cstdlib>

#include "ui/messenger.h"

namespace dovex::ui {

NumberEntry ReadNumberEntry(const QString& typed) {
    // NFKC turns the full-width digits, "＋", "－", "．" and "Ｅ" into their ASCII forms and the
    // ideographic space into a space; the minus sign U+2212 that some input methods give is not
    // a compatibility character and is mapped here.
    QString t = typed.normalized(QString::NormalizationForm_KC);
    t.replace(QChar(0x2212), QLatin1Char('-'));
    NumberEntry e;
    e.text = t.trimmed();
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)(.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = number.match(t);
    if (!m.hasMatch()) {
        e.problem = NumberEntry::Problem::NoNumber;
        return e;
    }
    if (!m.captured(2).trimmed().isEmpty()) {
        e.problem = NumberEntry::Problem::TextAfter;
        return e;
    }
    // strtod on plain ASCII in the C locale's form; too large a number gives HUGE_VAL, which the
    // range checks of the calculation refuse.
    const QByteArray ascii = m.captured(1).toLatin1();
    e.value = std::strtod(ascii.constData(), nullptr);
    e.problem = NumberEntry::Problem::None;
    return e;
}

QString NumberEntryMessage(const NumberEntry& e, const QString& name) {
    switch (e.problem) {
        case NumberEntry::Problem::None:
            break;
        case NumberEntry::Problem::NoNumber:
            return QStringLiteral("　") + name + QStringLiteral("に数値を入力して下さい　");
        case NumberEntry::Problem::TextAfter:
            return QStringLiteral("　") + name + QStringLiteral("の「") + e.text +
                   QStringLiteral("」は数値として読めません　\n　") + name +
                   QStringLiteral("には数値だけを入力して下さい（桁区切りのカンマは不要です）　");
    }
    return {};
}

bool ReadNumberField(QWidget* parent, const QString& typed, const QString& name, double* value) {
    const NumberEntry e = ReadNumberEntry(typed);
    if (!e.ok()) {
        messenger().beep();
        messenger().show(parent, NumberEntryMessage(e, name), Icon::Exclamation);
        return false;
    }
    *value = e.value;
    return true;
}

}  // namespace dovex::ui
