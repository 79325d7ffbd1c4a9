#pragma once
// A small INI reader and writer that round-trips any one-line value exactly
// and reads files written by the Windows profile functions: values verbatim,
// one pair of enclosing quotes stripped, ";" a comment only at a line's start.
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

#include "platform/files.h"

namespace limra {

class IniFile {
public:
    explicit IniFile(QString path) : m_path(std::move(path)) {}

    // The value, or `def` when the file, the section or the key is missing,
    // or when the file cannot be read in full (see problem()).
    QString read(const QString &section, const QString &key, const QString &def = QString()) const;
    // Writes one key, keeping the rest of the file byte for byte. False when
    // it cannot be written, or when the file is there but cannot be read in
    // full: such a file is never replaced.
    bool write(const QString &section, const QString &key, const QString &value) const;
    // Writes several keys of one section in one read and one write of the
    // file; the file ends the same as after writing the keys one by one, in
    // this order. False as for write(), and then no key is written.
    using KeyValues = QList<std::pair<QString, QString>>;
    bool write(const QString &section, const KeyValues &values) const;
    bool contains(const QString &section, const QString &key) const;

    // Why the file is there but cannot be read in full (no permission to
    // read it, larger than a settings file can be, not a regular file), as a
    // message for the user; empty when it can be read or is missing. While
    // this is not empty the tool runs with the defaults and writes nothing.
    QString problem() const;

    // How a value is stored, and how a stored value reads back.
    static QString encodeValue(const QString &value);
    static QString decodeValue(const QString &stored);

private:
    // The file's lines; none for a missing file; the error when the file is
    // there but cannot be read in full (its reason says why, also when too large).
    Expected<QList<QByteArray>, FileError> lines() const;
    QString m_path;
};

} // namespace limra
