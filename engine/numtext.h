// SPDX-License-Identifier: MIT
#pragma once
// Numbers as text, the same way everywhere in the program: the lenient reading of any numeric
// text (entry fields, data files, results files) and the numeric format patterns used by the
// windows, the printout and the results file.
#include <string>
#include <string_view>

namespace dovex {

// Reads the leading number of a text. Blanks (space, tab, CR, LF) are skipped anywhere; an
// optional sign, digits, at most one decimal point and an optional exponent (E or e, D or d,
// with an optional sign) are taken from the start; reading stops at the first character that
// cannot continue the number. "&H1F" and "&O17" read hexadecimal and octal integers. A text
// without a leading number reads as 0. Examples: "1.5mm" 1.5, "abc" 0, "1,5" 1, "2.5E-4" 0.00025.
double ParseLenient(std::string_view text);

// True when the text begins with a number in the sense of ParseLenient (after blanks).
bool StartsWithNumber(std::string_view text);

// Formats a number with a numeric pattern: "0" a digit always written, "#" a digit written only
// when significant, "." the decimal point, "E+0"/"E+00"/"E-0" an exponent with at least that many
// digits ("E+" always writes the sign, "E-" only a minus). The last written digit is rounded to
// nearest (halves away from zero). Other characters are copied. Examples: ("#0.000", 1.2346)
// "1.235", ("#00.00", 5.3) "05.30", ("0.00E+0", 0.000258) "2.58E-4".
std::string FormatPattern(double value, std::string_view pattern);

// The number FormatPattern writes with that many decimals ("#0.0" for 1), read back: rounded on
// the same 15 significant digits, halves away from zero, no negative zero. A number that is not
// finite stays as it is.
double RoundToDecimals(double value, int decimals);

// The ordinary number-to-text form: the shortest decimal text with up to 15 significant
// digits, a point as decimal sign, no leading blank; exponent form ("1E-06", "1.5E+15") only for
// magnitudes below 1e-5 or from 1e15 on. Examples: 0.25 "0.25", 20 "20", -1.5 "-1.5".
std::string PlainNumber(double value);

}  // namespace dovex
