#pragma once
// Configuration files (.rcf): the MD5 digest of the block's upper-case hex
// text, then the block (the byte 01 and the configuration items).
#include <QByteArray>
#include <QString>

namespace limra {

// A configuration is a few hundred bytes; a larger file is not one.
constexpr qint64 kMaxConfigFileSize = 64 * 1024;
// A reader's reply to "0B01" shorter than this many digits holds no configuration.
constexpr int kMinimumConfigReplyDigits = 30;

// The file's bytes for the given configuration items.
QByteArray configFileBytes(const QString &items);

enum class ConfigFileCheck { Ok, TooShort, BadDigest, BadVersion };
// Checks a file's bytes; on Ok `items` holds the items after the leading byte.
ConfigFileCheck checkConfigFile(const QByteArray &bytes, QString *items);

// A configuration file read from disk.
struct LoadedConfigFile {
    enum class Problem {
        None,
        CannotRead,
        BadFormat,
        BadDigest,
        BadVersion,
        Incomplete, // an item every configuration carries is missing: not one to write
    };
    Problem problem = Problem::None;
    QString error;  // the system's reason, for CannotRead
    QString items;  // the configuration items, when there is no problem
};
LoadedConfigFile loadConfigFile(const QString &path);
// What the user is told of a file that cannot be used.
QString configFileProblemText(const QString &path, const LoadedConfigFile &file);
// Writes the items as a configuration file; false with the reason.
bool saveConfigFile(const QString &path, const QString &items, QString *error);

} // namespace limra
