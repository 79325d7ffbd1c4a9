#pragma once
// User templates: keywords b1..b8 and n11..n82 stand for the identifier's
// bytes and nibbles counted from its right end; decW(...) forms turn hex
// digit runs into zero-padded decimal numbers.
#include <QString>

namespace limra {

inline const QString kTemplateError = QStringLiteral("error");

// The template rendered for the identifier, or "error".
QString renderTemplate(const QString &uid, const QString &tmpl);

// The 16 nibble characters of an identifier, n82 first and n11 last
// ("0" where the identifier does not reach). Characters left of the
// rightmost 16 are ignored.
QString templateNibbles(const QString &uid);

// The shown identifier converted between the DEC and HEX views.
QString decimalOfHex(const QString &hex);         // unsigned 64-bit, first 16 digits
QString hexOfDecimal(const QString &decimal);     // upper case, no leading zeros; empty if not a number

} // namespace limra
