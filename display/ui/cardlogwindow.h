#pragma once
// "Журнал карт": the card log newest first, with copying of the selected
// rows, clearing, saving as CSV and writing the log to a file as it grows.
#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace limra {

class CardLog;
class Clipboard;
class UserDialogs;

// The log as a table, newest first. Changes reach the view at most every
// 100 ms, so that a flood of reads cannot keep the window busy.
class CardLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;
    explicit CardLogModel(const CardLog &log, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The fields of a row, for copying.
    QStringList rowTexts(int row) const;

private:
    void changed();

    const CardLog &m_log;
    QTimer m_refresh;
};

class CardLogWindow : public QDialog {
    Q_OBJECT
public:
    CardLogWindow(CardLog &log, UserDialogs &dialogs, Clipboard *clipboard, QString logFile, QWidget *parent = nullptr);

    // Writes the log to the file as it grows (the option of the window).
    void setWritingFile(bool on);

    QTableView *table;
    QPushButton *copyButton;
    QPushButton *clearButton;
    QPushButton *saveButton;
    QCheckBox *toFile;
    QLabel *fileLabel;
    CardLogModel *model;

Q_SIGNALS:
    void writingFileChanged(bool on);

private:
    void copySelected();
    void saveAs();

    CardLog &m_log;
    UserDialogs &m_dialogs;
    Clipboard *m_clipboard;
    QString m_logFile;
};

} // namespace limra
