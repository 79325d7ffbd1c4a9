#include "station/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "platform/files.h"

namespace limra {

namespace {

// Files beyond this size are not settings files of this tool.
constexpr qint64 kMaxSize = 1024 * 1024;

bool isSectionLine(const QByteArray &line, QByteArray *name)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return false;
    const int end = int(t.indexOf(']'));
    if (end < 0)
        return false;
    *name = t.mid(1, end - 1).trimmed();
    return true;
}

// Splits "key=value"; false for comments and lines without "=".
bool splitKey(const QByteArray &line, QByteArray *key, QByteArray *value)
{
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';'))
        return false;
    const int eq = int(line.indexOf('='));
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    *value = line.mid(eq + 1);
    return true;
}

bool sameName(const QByteArray &a, const QString &b)
{
    return QString::fromUtf8(a).compare(b, Qt::CaseInsensitive) == 0;
}

// A value as written: UTF-8 when it is valid UTF-8, otherwise Windows-1251
// (a file carried over from Windows).
QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder cp1251("windows-1251");
    return cp1251(bytes);
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

// The file's lines as bytes, without their line ends.
Expected<QList<QByteArray>, FileError> IniFile::lines() const
{
    const auto read = readSmallFile(m_path, kMaxSize);
    if (!read) {
        switch (read.error().kind) {
        case FileError::Kind::Failed:
            if (!QFileInfo::exists(m_path) && !QFileInfo(m_path).isSymLink())
                return QList<QByteArray>(); // created at the first write
            break;
        case FileError::Kind::TooLarge:
            return unexpected(FileError{FileError::Kind::TooLarge,
                                        QStringLiteral("файл больше %1 МБ").arg(kMaxSize / (1024 * 1024))});
        case FileError::Kind::Refused:
            break;
        }
        return unexpected(read.error());
    }
    QByteArray bytes = *read;
    if (bytes.isEmpty())
        return QList<QByteArray>();
    bytes.replace("\r\n", "\n");
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes.split('\n');
}

QString IniFile::problem() const
{
    const auto all = lines();
    if (all)
        return QString();
    return QStringLiteral("Не удалось прочитать файл настроек %1: %2. Программа работает с настройками "
                          "по умолчанию и не изменяет этот файл.")
        .arg(m_path, all.error().reason);
}

QString IniFile::read(const QString &section, const QString &key, const QString &def) const
{
    const auto all = lines();
    if (!all)
        return def;
    QByteArray current, k, v;
    for (const QByteArray &line : *all) {
        QByteArray name;
        if (isSectionLine(line, &name)) {
            current = name;
            continue;
        }
        if (sameName(current, section) && splitKey(line, &k, &v) && sameName(k, key))
            return decodeValue(decodeText(v));
    }
    return def;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    static const QString missing = QStringLiteral("\x01missing");
    return read(section, key, missing) != missing;
}

namespace {

// Only the key's own line changes; every other line stays byte for byte.
void setKey(QList<QByteArray> &all, const QString &section, const QString &key, const QString &value)
{
    const QByteArray entry = key.toUtf8() + '=' + IniFile::encodeValue(value).toUtf8();
    QByteArray k, v;
    int sectionEnd = -1; // index after the last line of the section
    bool inSection = false;
    for (int i = 0; i < all.size(); ++i) {
        QByteArray name;
        if (isSectionLine(all[i], &name)) {
            inSection = sameName(name, section);
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (splitKey(all[i], &k, &v) && sameName(k, key)) {
            all[i] = entry;
            return;
        }
        if (!all[i].trimmed().isEmpty())
            sectionEnd = i + 1;
    }
    if (sectionEnd == -1)
        all << '[' + section.toUtf8() + ']' << entry;
    else
        all.insert(sectionEnd, entry);
}

} // namespace

bool IniFile::write(const QString &section, const QString &key, const QString &value) const
{
    return write(section, KeyValues{{key, value}});
}

bool IniFile::write(const QString &section, const KeyValues &values) const
{
    auto all = lines();
    if (!all)
        return false; // a file that could not be read whole is never replaced
    if (values.isEmpty())
        return true;
    for (const auto &[key, value] : values)
        setKey(*all, section, key, value);
    // The settings are the user's own.
    return bool(writeFileAtomically(m_path, all->join("\r\n") + "\r\n", FileAccess::Private));
}

} // namespace limra
