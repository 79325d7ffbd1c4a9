#pragma once
// A reader configuration as limra-cli shows it: the fields the editor shows
// for its read mode and reader kind, as readable text or as JSON. Keys are
// never shown, only whether the bank-card key is the default one.
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "common/expected.h"
#include "config/configitems.h"
#include "config/editormodel.h"

namespace limra::cli {

// The editor holds the configuration; `items` are the items it came from,
// for the checksums the reader reports with them.
QStringList configText(const EditorModel &editor, const ConfigItems &items);
QJsonObject configJson(const EditorModel &editor, const ConfigItems &items);

// Why a configuration file cannot be read, used or written.
struct ConfigFileProblem {
    enum class Kind {
        CannotRead,
        NotAConfiguration, // not one JSON object, or a .rcf file that is not one
        WrongValue,        // a JSON value the configuration does not take
        DoesNotFit,        // the configuration does not fit this reader
        CannotWrite,
    };
    Kind kind = Kind::CannotRead;
    QString text; // what the user is told: the file named, and why
};

// Saves the editor's configuration as the window saves a configuration file,
// making the file's folder when it is missing.
Expected<void, ConfigFileProblem> saveConfiguration(EditorModel &editor, const QString &path);

// A configuration file the command line takes: a .rcf file, or the JSON
// that read-config --json shows (one object, or its "config" alone).
struct ConfigInput {
    ConfigItems items; // .rcf: the configuration items
    QJsonObject json;  // JSON: the configuration object
    bool isJson = false;
};
// Reads the file (or standard input for "-").
Expected<ConfigInput, ConfigFileProblem> readConfigInput(const QString &path);
// Lays the file's configuration over the editor's, as the window applies a
// file it loaded.
Expected<void, ConfigFileProblem> applyConfigInput(EditorModel &editor, const ConfigInput &input, const QString &path);

// One item of a configuration as the editor shows it: its label, its value
// as text ("" when the read mode does not use it). A key's text is never shown.
struct ConfigItemView {
    QString label;
    QString value;
    bool secret = false;
};
QList<ConfigItemView> configItems(const EditorModel &editor);

// An item whose value differs between the reader's configuration and a file's.
struct ConfigDifference {
    QString item;
    QString reader;
    QString file;
};
QList<ConfigDifference> configDifferences(const EditorModel &reader, const EditorModel &file);

// Zone numbers as ranges: "1-3, 7"; "none" for none.
QString zoneRanges(const std::array<bool, 64> &zones);

} // namespace limra::cli
