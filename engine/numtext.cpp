// SPDX-License-Identifier: MIT
#include "engine/numtext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace dovex {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Collects the characters of the leading number, skipping blanks wherever they stand.
// Returns the number text in C locale form ("-12.5e-3"), or an empty text when there is none.
std::string LeadingNumberText(std::string_view t, bool* hasDigits) {
    std::string out;
    std::size_t i = 0;
    auto skip = [&] {
        while (i < t.size() && IsBlank(t[i])) ++i;
    };
    skip();
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-') out += '-';
        ++i;
    }
    bool digits = false, point = false;
    for (;;) {
        skip();
        if (i >= t.size()) break;
        char c = t[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            out += c;
            digits = true;
            ++i;
        } else if (c == '.' && !point) {
            out += '.';
            point = true;
            ++i;
        } else {
            break;
        }
    }
    *hasDigits = digits;
    if (!digits) return {};
    // Exponent: E or D, optional sign, at least one digit; otherwise the letter ends the number.
    skip();
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e' || t[i] == 'D' || t[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        while (j < t.size() && IsBlank(t[j])) ++j;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) {
            exp += t[j];
            ++j;
        }
        bool expDigits = false;
        for (;;) {
            while (j < t.size() && IsBlank(t[j])) ++j;
            if (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) {
                // Cap the exponent text; anything longer overflows or underflows anyway.
                if (exp.size() < 8) exp += t[j];
                expDigits = true;
                ++j;
            } else {
                break;
            }
        }
        if (expDigits) out += exp;
    }
    return out;
}

double ParseRadix(std::string_view t, std::size_t i, int radix) {
    double v = 0;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (IsBlank(c)) continue;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= radix) break;
        v = v * radix + d;
    }
    return v;
}

// Decimal digits of |x| rounded to 15 significant digits: x = 0.d1d2...d15 * 10^exp10.
struct Decimal {
    std::string digits;  // without leading zeros unless the value is 0
    int exp10 = 0;       // position of the decimal point after `exp10` digits
};

// `truncate`: the 15 digits are cut instead of rounded (see FormatPattern).
Decimal ToDecimal(double ax, bool truncate = false) {
    Decimal d;
    if (ax == 0) {
        d.digits = "0";
        d.exp10 = 1;
        return d;
    }
    // Correctly rounded like printf's %.14e (%.24e), without its cost.
    char buf[64];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, ax, std::chars_format::scientific, truncate ? 24 : 14);
    std::string s(buf, r.ptr);
    auto e = s.find('e');
    d.digits = s.substr(0, 1) + s.substr(2, std::min<std::size_t>(e - 2, 14));
    d.exp10 = std::atoi(s.c_str() + e + 1) + 1;
    return d;
}

// Rounds the decimal so that it keeps `frac` digits after the point (half away from zero).
// Returns the integer digits (possibly empty for 0) and exactly `frac` fraction digits.
void RoundFixed(const Decimal& d, int frac, std::string* intPart, std::string* fracPart,
                bool truncate = false) {
    // Digits as a position-indexed string: digit k stands for 10^(exp10 - 1 - k).
    std::string digits = d.digits;
    int exp10 = d.exp10;
    int keep = exp10 + frac;  // number of leading digits kept
    if (keep < 0) {
        *intPart = "";
        *fracPart = std::string(static_cast<std::size_t>(frac), '0');
        return;
    }
    if (keep < static_cast<int>(digits.size())) {
        bool up = !truncate && digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(static_cast<std::size_t>(keep));
        if (up) {
            int k = keep - 1;
            while (k >= 0 && digits[static_cast<std::size_t>(k)] == '9') {
                digits[static_cast<std::size_t>(k)] = '0';
                --k;
            }
            if (k >= 0) {
                ++digits[static_cast<std::size_t>(k)];
            } else {
                digits.insert(digits.begin(), '1');
                ++exp10;
            }
        }
    }
    // Place the digits around the decimal point.
    std::string ip, fp;
    for (int pos = 0; pos < exp10; ++pos)
        ip += pos < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(pos)] : '0';
    for (int k = 0; k < frac; ++k) {
        int pos = exp10 + k;
        fp += (pos >= 0 && pos < static_cast<int>(digits.size()))
                  ? digits[static_cast<std::size_t>(pos)]
                  : '0';
    }
    // Strip leading zeros of the integer part.
    std::size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? "" : ip.substr(nz);
    *intPart = ip;
    *fracPart = fp;
}

bool AllZero(const std::string& s) { return s.find_first_not_of('0') == std::string::npos; }

}  // namespace

double ParseLenient(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '&') {
        char k = text[i + 1];
        if (k == 'H' || k == 'h') return ParseRadix(text, i + 2, 16);
        if (k == 'O' || k == 'o') return ParseRadix(text, i + 2, 8);
    }
    bool digits = false;
    std::string num = LeadingNumberText(text, &digits);
    if (!digits) return 0.0;
    double v = std::strtod(num.c_str(), nullptr);
    return v == 0 ? 0.0 : v;  // no negative zero
}

bool StartsWithNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '&') {
        char k = text[i + 1];
        if (k == 'H' || k == 'h' || k == 'O' || k == 'o') return true;
    }
    bool digits = false;
    LeadingNumberText(text, &digits);
    return digits;
}

namespace {

// FormatPattern; `truncate` cuts the last written digit instead of rounding it. `numberAt` is set
// to where the number begins in the result (after the pattern's prefix).
std::string FormatPatternImpl(double value, std::string_view pattern, bool truncate,
                              std::size_t* numberAt) {
    *numberAt = 0;
    // Split the pattern: prefix/suffix literals are copied, the numeric part is analysed.
    std::size_t first = pattern.find_first_of("0#.");
    if (first == std::string_view::npos) return std::string(pattern);
    std::size_t expPos = std::string_view::npos;
    std::size_t end = first;
    while (end < pattern.size()) {
        char c = pattern[end];
        if (c == '0' || c == '#' || c == '.' || c == ',') {
            ++end;
        } else if ((c == 'E' || c == 'e') && end + 1 < pattern.size() &&
                   (pattern[end + 1] == '+' || pattern[end + 1] == '-')) {
            expPos = end;
            end += 2;
            while (end < pattern.size() && (pattern[end] == '0' || pattern[end] == '#')) ++end;
            break;
        } else {
            break;
        }
    }
    std::string prefix(pattern.substr(0, first));
    std::string suffix(pattern.substr(end));
    *numberAt = prefix.size();
    std::string_view mant =
        pattern.substr(first, (expPos == std::string_view::npos ? end : expPos) - first);
    std::size_t dot = mant.find('.');
    std::string_view ipat = mant.substr(0, dot);
    std::string_view fpat =
        dot == std::string_view::npos ? std::string_view{} : mant.substr(dot + 1);
    int minInt = 0;
    for (char c : ipat) minInt += c == '0';
    int fracMandatory = 0, fracOptional = 0;
    for (char c : fpat) {
        if (c == '0') ++fracMandatory;
        if (c == '#') ++fracOptional;
    }
    int frac = fracMandatory + fracOptional;
    bool neg = value < 0;
    double ax = std::fabs(value);

    std::string ip, fp, expText;
    if (expPos != std::string_view::npos) {
        char signMode = pattern[expPos + 1];
        int minExp = 0;
        for (std::size_t k = expPos + 2; k < end; ++k) minExp += pattern[k] == '0';
        int intDigits = std::max(1, minInt);
        int e = 0;
        if (ax != 0) {
            Decimal d = ToDecimal(ax, truncate);
            e = d.exp10 - intDigits;
            Decimal scaled = d;
            scaled.exp10 = intDigits;
            RoundFixed(scaled, frac, &ip, &fp, truncate);
            if (static_cast<int>(ip.size()) > intDigits) {  // 9.995 -> 10.00: renormalise
                scaled.exp10 = intDigits - 1;
                ++e;
                RoundFixed(scaled, frac, &ip, &fp, truncate);
            }
        } else {
            ip = "";
            fp = std::string(static_cast<std::size_t>(frac), '0');
        }
        std::string ed = std::to_string(std::abs(e));
        while (static_cast<int>(ed.size()) < minExp) ed.insert(ed.begin(), '0');
        expText = std::string(1, pattern[expPos]);
        if (e < 0)
            expText += '-';
        else if (signMode == '+')
            expText += '+';
        expText += ed;
    } else {
        RoundFixed(ToDecimal(ax, truncate), frac, &ip, &fp, truncate);
    }
    // Optional fraction digits: drop trailing zeros down to the mandatory count.
    while (static_cast<int>(fp.size()) > fracMandatory && !fp.empty() && fp.back() == '0')
        fp.pop_back();
    while (static_cast<int>(ip.size()) < minInt) ip.insert(ip.begin(), '0');
    bool zero = AllZero(ip) && AllZero(fp);
    std::string out = prefix;
    if (neg && !zero) out += '-';
    out += ip;
    if (dot != std::string_view::npos) out += '.';
    out += fp;
    out += expText;
    out += suffix;
    return out;
}

}  // namespace

std::string FormatPattern(double value, std::string_view pattern) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
    std::size_t at = 0;
    std::string out = FormatPatternImpl(value, pattern, false, &at);
    // Rounding the last digit up can carry a number next to the largest double beyond it
    // ("1.80E+308"), which no reader can take back: such a number is written cut instead.
    if (std::fabs(value) >= 1e308 && !std::isfinite(ParseLenient(std::string_view(out).substr(at))))
        out = FormatPatternImpl(value, pattern, true, &at);
    return out;
}

double RoundToDecimals(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    std::string ip, fp;
    RoundFixed(ToDecimal(std::fabs(value)), decimals, &ip, &fp);
    if (AllZero(ip) && AllZero(fp)) return 0.0;
    const std::string text = (value < 0 ? "-" : "") + (ip.empty() ? "0" : ip) + "." + fp;
    return std::strtod(text.c_str(), nullptr);
}

std::string PlainNumber(double value) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
    if (value == 0) return "0";
    // %.15g, correctly rounded as printf does it. 15 digits of a number next to the largest
    // double can round beyond it; 17 digits always read back as the number itself.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::general, 15);
    *r.ptr = '\0';
    if (std::fabs(value) >= 1e308 && !std::isfinite(std::strtod(buf, nullptr)))
        r = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::general, 17);
    std::string s(buf, r.ptr);
    auto e = s.find('e');
    if (e != std::string::npos) s[e] = 'E';
    return s;
}

}  // namespace dovex
