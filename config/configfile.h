#pragma once
// Configuration files (.rcf): the MD5 digest of the block's upper-case hex
// text, then the block (the byte 01 and the configuration items).
#include <QByteArray>
#include <QString>

#include "common/expected.h"
#include "config/configitems.h"

namespace limra {

// A configuration is a few hundred bytes; a larger file is not one.
constexpr qint64 kMaxConfigFileSize = 64 * 1024;
// A reader's reply to "0B01" shorter than this many bytes holds no configuration.
constexpr int kMinimumConfigReplyBytes = 15;

// Why a configuration file cannot be used, or written.
struct ConfigFileError {
    enum class Kind {
        CannotRead,
        BadFormat,  // too short for a configuration file, or too large
        BadDigest,
        BadVersion,
        Incomplete, // an item every configuration carries is missing: not one to write
        CannotWrite,
    };
    Kind kind = Kind::BadFormat;
    QString reason; // the system's reason, for CannotRead and CannotWrite
};

// The file's bytes for the given configuration items.
QByteArray configFileBytes(const ConfigItems &items);

// Checks a file's bytes: the items after the leading byte, or why there are
// none (BadFormat, BadDigest, BadVersion).
Expected<ConfigItems, ConfigFileError> checkConfigFile(const QByteArray &bytes);

// A configuration file read from disk: its items, when they make a
// configuration to write.
Expected<ConfigItems, ConfigFileError> loadConfigFile(const QString &path);
// What the user is told of a file that cannot be used or written.
QString configFileProblemText(const QString &path, const ConfigFileError &error);
// Writes the items as a configuration file.
Expected<void, ConfigFileError> saveConfigFile(const QString &path, const ConfigItems &items);

} // namespace limra
