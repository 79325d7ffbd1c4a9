#pragma once
#include <QMessageBox>
#include <QPointer>
#include <deque>
#include <vector>

#include "platform/dialogs.h"

class QWidget;

namespace limra {

// The dialogs through Qt's standard windows, parented to `parent`.
class QtDialogs : public UserDialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    ~QtDialogs() override;
    QtDialogs(const QtDialogs &) = delete;
    QtDialogs &operator=(const QtDialogs &) = delete;
    // The window the dialogs are centred on.
    void setParentWidget(QWidget *widget) { m_parent = widget; }
    void message(const QString &text) override;
    void notify(const QString &text, std::function<void()> dismissed) override;
    void notifyError(const QString &text) override;
    void error(const QString &text) override;
    void information(const QString &title, const QString &text) override;
    bool question(const QString &caption, const QString &text, QuestionIcon icon) override;
    std::optional<QString> input(const QString &caption, const QString &prompt, const QString &value) override;
    QString openFile(const QString &filter, const QString &defaultSuffix, const QString &dir) override;
    QString saveFile(const QString &filter, const QString &defaultSuffix, const QString &dir) override;
    std::optional<QColor> chooseColor(const QColor &initial) override;
    void openFolder(const QString &path) override;

    // The notice shown now, if any.
    QMessageBox *noticeBox() const { return m_noticeBox; }

private:
    struct Notice {
        QMessageBox::Icon icon;
        QString caption;
        QString text;
        std::vector<std::function<void()>> dismissed;
    };
    void addNotice(QMessageBox::Icon icon, const QString &caption, const QString &text,
                   std::function<void()> dismissed);
    void showNextNotice();
    void noticeClosed();

    QWidget *m_parent;
    std::deque<Notice> m_notices; // the first one is shown
    QPointer<QMessageBox> m_noticeBox;
    bool m_userAtNotice = false; // the notice being closed had the focus
};

// Qt's own Russian texts (Yes/No, OK/Cancel, the file and colour dialogs),
// whatever the system's language: every text of the tool is Russian.
bool installRussianTranslation();

// "Описание|*.ext" to Qt's "Описание (*.ext)".
QString qtFileFilter(const QString &filter);

} // namespace limra
