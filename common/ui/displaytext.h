#pragma once
// Texts as a dialog shows them: a word with a hyphen ("USB-считывателю",
// "мастер-карту") is never broken at its hyphen into two lines. The texts
// themselves keep their plain hyphens; only what is drawn gets the
// non-breaking one (U+2011).
#include <QString>

namespace limra {

inline QString keepHyphenatedWords(const QString &text)
{
    QString out = text;
    for (qsizetype i = 1; i + 1 < out.size(); ++i)
        if (out.at(i) == QLatin1Char('-') && out.at(i - 1).isLetterOrNumber() && out.at(i + 1).isLetterOrNumber())
            out[i] = QChar(0x2011);
    return out;
}

} // namespace limra
