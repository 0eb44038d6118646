// SPDX-License-Identifier: MIT
#pragma once
// A number typed into a field of a window, read as Japanese users type it: digits, signs, the
// decimal point and the exponent letter entered through an input method come in their full-width
// forms (「８０」, 「１．５」), which are taken as the ASCII characters they stand for. Unlike the
// lenient reading of the data files, a field is read whole: text that does not begin with a
// number, or anything but blanks after the number ("80abc", "80,5", "1,000"), is refused, so that
// no value is taken that the user did not mean.
#include <QString>

class QWidget;

namespace dovex::ui {

struct NumberEntry {
    enum class Problem {
        None,
        NoNumber,   // empty, or not beginning with a number
        TextAfter,  // something other than blanks after the number
    };
    Problem problem = Problem::NoNumber;
    double value = 0;  // the number when problem is None
    QString text;      // the typed text in its ASCII forms, blanks trimmed
    bool ok() const { return problem == Problem::None; }
};

NumberEntry ReadNumberEntry(const QString& typed);

// The message for a refused entry of the field called `name` ("管電圧"): "<name>に数値を入力して
// 下さい", or for text after the number a message that names the field and quotes the text.
QString NumberEntryMessage(const NumberEntry& e, const QString& name);

// Reads the text of a field; a refused entry is reported (beep and message over `parent`), and
// nothing is returned.
bool ReadNumberField(QWidget* parent, const QString& typed, const QString& name, double* value);

}  // namespace dovex::ui
