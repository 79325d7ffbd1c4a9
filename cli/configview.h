#pragma once
// A reader configuration as limra-cli shows it: the fields the editor shows
// for its read mode and reader kind, as readable text or as JSON. Keys are
// never shown, only whether the bank-card key is the default one.
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include "config/editormodel.h"

namespace limra::cli {

// The editor holds the configuration; `items` are the items it came from,
// for the checksums the reader reports with them.
QStringList configText(const EditorModel &editor, const QString &items);
QJsonObject configJson(const EditorModel &editor, const QString &items);

// Saves the editor's configuration as the window saves a configuration file,
// making the file's folder when it is missing. False with what the user is
// told in `problem`.
bool saveConfiguration(EditorModel &editor, const QString &path, QString *problem);

// A configuration file the command line takes: a .rcf file, or the JSON
// that read-config --json shows (one object, or its "config" alone).
struct ConfigInput {
    QString items;    // .rcf: the configuration items
    QJsonObject json; // JSON: the configuration object
    bool isJson = false;
};
// Reads the file (or standard input for "-"). False with what the user is
// told in `problem`: the file named, and why.
bool readConfigInput(const QString &path, ConfigInput *input, QString *problem);
// Lays the file's configuration over the editor's, as the window applies a
// file it loaded. False with the problem.
bool applyConfigInput(EditorModel &editor, const ConfigInput &input, const QString &path, QString *problem);

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
