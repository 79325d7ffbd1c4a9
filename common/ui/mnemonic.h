#pragma once
// Alt-letter mnemonics: the letter is underlined where the style shows
// mnemonics and Alt with it presses the button or opens the tab. The text the
// user sees and the name a screen reader reads stay the text itself.
#include <QAbstractButton>
#include <QString>

namespace limra {

// The text with the mnemonic marker before the first `letter` (either case);
// the text unchanged when it has no such letter.
inline QString withMnemonic(const QString &text, QChar letter)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const qsizetype at = escaped.indexOf(letter, 0, Qt::CaseInsensitive);
    if (at < 0)
        return escaped;
    return escaped.insert(at, QLatin1Char('&'));
}

inline void setMnemonic(QAbstractButton *button, QChar letter)
{
    button->setText(withMnemonic(button->text(), letter));
}

// The text as drawn: without its mnemonic marker.
inline QString withoutMnemonic(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        out += text.at(i);
    }
    return out;
}

} // namespace limra
