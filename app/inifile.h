#pragma once
// A small INI reader and writer that round-trips any one-line value exactly
// and reads files written by the Windows profile functions: values verbatim,
// one pair of enclosing quotes stripped, ";" a comment only at a line's start.
#include <QString>
#include <QList>
#include <QStringList>

namespace limra {

class IniFile {
public:
    explicit IniFile(QString path) : m_path(std::move(path)) {}

    // The value, or `def` when the file, the section or the key is missing.
    QString read(const QString &section, const QString &key, const QString &def = QString()) const;
    // Writes one key, keeping the rest of the file. False when it cannot be written.
    bool write(const QString &section, const QString &key, const QString &value) const;
    bool contains(const QString &section, const QString &key) const;

    // How a value is stored, and how a stored value reads back.
    static QString encodeValue(const QString &value);
    static QString decodeValue(const QString &stored);

private:
    QList<QByteArray> lines() const;
    QString m_path;
};

} // namespace limra
