#include "app/inifile.h"
#include "platform/atomicfile.h"

#include <QFile>

namespace limra {

namespace {

bool isSectionLine(const QString &t, QString *name)
{
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const int end = t.indexOf(QLatin1Char(']'));
    if (end < 0)
        return false;
    *name = t.mid(1, end - 1).trimmed();
    return true;
}

// Splits "key=value"; false for comments and lines without "=".
bool splitKey(const QString &line, QString *key, QString *value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')))
        return false;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1);
    return true;
}

} // namespace

QString IniFile::encodeValue(const QString &value)
{
    const bool blanks = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool quoted = value.size() >= 2 && ((value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"'))
                                              || (value.front() == QLatin1Char('\'') && value.back() == QLatin1Char('\'')));
    return blanks || quoted ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

QString IniFile::decodeValue(const QString &stored)
{
    QString v = stored.trimmed();
    if (v.size() >= 2 && ((v.front() == QLatin1Char('"') && v.back() == QLatin1Char('"'))
                          || (v.front() == QLatin1Char('\'') && v.back() == QLatin1Char('\''))))
        v = v.mid(1, v.size() - 2);
    return v;
}

QStringList IniFile::lines() const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QString IniFile::read(const QString &section, const QString &key, const QString &def) const
{
    QString current, k, v;
    for (const QString &line : lines()) {
        QString name;
        if (isSectionLine(line.trimmed(), &name)) {
            current = name;
            continue;
        }
        if (current.compare(section, Qt::CaseInsensitive) == 0 && splitKey(line, &k, &v)
            && k.compare(key, Qt::CaseInsensitive) == 0)
            return decodeValue(v);
    }
    return def;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    static const QString missing = QStringLiteral("\x01missing");
    return read(section, key, missing) != missing;
}

bool IniFile::write(const QString &section, const QString &key, const QString &value) const
{
    QStringList all = lines();
    const QString entry = key + QLatin1Char('=') + encodeValue(value);
    QString current, k, v;
    int sectionEnd = -1; // index after the last line of the section
    bool inSection = false;
    for (int i = 0; i < all.size(); ++i) {
        QString name;
        if (isSectionLine(all[i].trimmed(), &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (splitKey(all[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            all[i] = entry;
            sectionEnd = -2;
            break;
        }
        if (!all[i].trimmed().isEmpty())
            sectionEnd = i + 1;
    }
    if (sectionEnd == -1) {
        all << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    } else if (sectionEnd >= 0) {
        all.insert(sectionEnd, entry);
    }
    return writeFileAtomically(m_path, (all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
}

} // namespace limra
