#pragma once
// "Журнал карт": the card log newest first, with copying of the selected
// rows, clearing, saving as CSV and writing the log to a file as it grows.
#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>

#include "display/cardlog.h"
#include "display/localtimetext.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace limra {

class CardLog;
class Clipboard;
class UserDialogs;

// The log as a table, newest first. Changes reach the view at most every
// 100 ms, and every 500 ms while reads come faster than anyone reads them, so
// that a flood of reads cannot keep the window busy: new reads as rows
// inserted at the top, reads the log no longer holds as rows removed at the
// bottom, so that the view keeps the user's selection.
class CardLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A refresh that brings this many rows or more means a flood.
    static constexpr int kFloodRows = 25;
    explicit CardLogModel(const CardLog &log, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The fields of a row, for copying.
    QStringList rowTexts(int row) const;

private:
    void changed();
    void publish();
    // The entry of a row the view knows; none for one whose read is no longer held.
    const CardLogEntry *entryAt(int row) const;

    const CardLog &m_log;
    QTimer m_refresh;
    int m_rows = 0;              // rows the view knows
    int m_lastInserted = 0;      // rows the last refresh brought
    qsizetype m_unpublished = 0; // newest entries the view does not know yet
    mutable LocalTimeText m_times;
};

class CardLogWindow : public QDialog {
    Q_OBJECT
public:
    CardLogWindow(CardLog &log, UserDialogs &dialogs, Clipboard *clipboard, QString logFile, QWidget *parent = nullptr);

    // Writes the log to the file as it grows (the option of the window).
    void setWritingFile(bool on);

Q_SIGNALS:
    void writingFileChanged(bool on);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QTableView *table;
    QPushButton *copyButton;
    QPushButton *clearButton;
    QPushButton *saveButton;
    QCheckBox *toFile;
    QLabel *fileLabel;
    CardLogModel *model;

    void clearAsked();
    void copySelected();
    void saveAs();
    void showFileState();
    void keepScrolledRows(int inserted);
    void fitColumns();

    CardLog &m_log;
    UserDialogs &m_dialogs;
    Clipboard *m_clipboard;
    QString m_logFile;
};

} // namespace limra
