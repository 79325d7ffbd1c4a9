#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QUrl>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>

#include <QGridLayout>
#include <QSpacerItem>
#include <algorithm>
#include <utility>

#include "common/texts.h"
#include "common/ui/displaytext.h"
#include "platform/ui/qtdialogs.h"

namespace limra {

namespace {
// The width a dialog needs for its whole title in the window system's title
// bar: the title in bold type, the window's icon and its three buttons.
int titleWidth(const QString &title, const QWidget *dialog)
{
    QFont bold = dialog->font();
    bold.setBold(true);
    const int buttons = 4 * QFontMetrics(bold).height() + 48;
    return QFontMetrics(bold).horizontalAdvance(title) + buttons;
}

// A short message box is widened until its title fits: "ЛИМРА Ко…упа - RFID"
// tells nobody anything.
void fitTitle(QMessageBox &box)
{
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth(box.windowTitle(), &box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

// A message box with its texts as they are shown.
void prepare(QMessageBox &box, QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    box.setText(keepHyphenatedWords(box.text()));
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    fitTitle(box);
}
} // namespace

void QtDialogs::openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool installRussianTranslation()
{
    auto *translator = new QTranslator(qApp);
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern = QStringLiteral("(") + parts[i + 1] + QLatin1Char(')');
        // A description that already names its pattern keeps it once; one
        // that is the pattern itself is not repeated either.
        if (parts[i].endsWith(pattern) || parts[i] == parts[i + 1])
            out << parts[i];
        else
            out << parts[i] + QLatin1Char(' ') + pattern;
    }
    return out.join(QStringLiteral(";;"));
}

void QtDialogs::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, texts::kAppTitle, text, QMessageBox::Ok, m_parent);
    prepare(box);
    box.exec();
}

QtDialogs::~QtDialogs()
{
    // A notice still shown tells nobody of its end any more.
    if (m_noticeBox) {
        QObject::disconnect(m_noticeBox, nullptr, nullptr, nullptr);
        delete m_noticeBox.data();
    }
}

void QtDialogs::notify(const QString &text, std::function<void()> dismissed)
{
    addNotice(QMessageBox::NoIcon, texts::kAppTitle, text, std::move(dismissed));
}

void QtDialogs::notifyError(const QString &text)
{
    addNotice(QMessageBox::Critical, texts::kErrorCaption, text, nullptr);
}

void QtDialogs::addNotice(QMessageBox::Icon icon, const QString &caption, const QString &text,
                          std::function<void()> dismissed)
{
    // The same words again while they are shown or waiting: one box says them.
    auto same = std::find_if(m_notices.begin(), m_notices.end(), [&](const Notice &n) {
        return n.icon == icon && n.caption == caption && n.text == text;
    });
    if (same == m_notices.end()) {
        m_notices.push_back({icon, caption, text, {}});
        same = std::prev(m_notices.end());
    }
    if (dismissed)
        same->dismissed.push_back(std::move(dismissed));
    showNextNotice();
}

void QtDialogs::showNextNotice()
{
    if (m_noticeBox || m_notices.empty())
        return;
    const Notice &next = m_notices.front();
    auto *box = new QMessageBox(next.icon, next.caption, next.text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    prepare(*box);
    // The user is at the tool: one of its windows is active, or was the
    // notice just closed.
    QWidget *active = QApplication::activeWindow();
    if ((active && active->isVisible()) || std::exchange(m_userAtNotice, false)) {
        // The user is at the tool: the notice is in front and answers the keys.
        box->setWindowModality(Qt::WindowModal);
    } else {
        // The user types into another program: the notice shows and leaves the
        // keyboard where it is. A modal window would be given the focus.
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    m_noticeBox = box;
    QObject::connect(box, &QMessageBox::finished, box, [this, box] {
        m_userAtNotice = QApplication::activeWindow() == box;
        noticeClosed();
        m_userAtNotice = false;
    });
    box->show();
}

void QtDialogs::noticeClosed()
{
    m_noticeBox = nullptr;
    if (m_notices.empty())
        return;
    std::vector<std::function<void()>> dismissed = std::move(m_notices.front().dismissed);
    m_notices.pop_front();
    for (auto &told : dismissed)
        told();
    showNextNotice();
}

void QtDialogs::error(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, texts::kErrorCaption, text, QMessageBox::Ok, m_parent);
    prepare(box);
    box.exec();
}

void QtDialogs::information(const QString &title, const QString &text)
{
    // Without a title of its own it has the application's, never the program file's name.
    QMessageBox box(QMessageBox::Information, title.isEmpty() ? texts::kAppTitle : title, text, QMessageBox::Ok,
                    m_parent);
    prepare(box);
    box.exec();
}

bool QtDialogs::question(const QString &caption, const QString &text, QuestionIcon icon)
{
    QMessageBox box(icon == QuestionIcon::Warning ? QMessageBox::Warning : QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    // Enter or a hasty click on the default never writes to a reader or discards work.
    prepare(box, QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::input(const QString &caption, const QString &prompt, const QString &value)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(keepHyphenatedWords(prompt));
    dialog.setTextValue(value);
    // A value to read and copy: "Отмена" could not undo a change of it.
    if (auto *field = dialog.findChild<QLineEdit *>())
        field->setReadOnly(true);
    // The title says where the value comes from ("... мастер-карты №2 из 3"): shown whole.
    dialog.resize(std::max(dialog.sizeHint().width(), titleWidth(caption, &dialog)), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

static QString runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &filter,
                             const QString &defaultSuffix, const QString &dir)
{
    QFileDialog dialog(parent, QString(), dir, qtFileFilter(filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QString suffix = defaultSuffix;
    suffix.remove(QStringLiteral("*.")).remove(QLatin1Char('.'));
    dialog.setDefaultSuffix(suffix);
    if (mode == QFileDialog::AcceptSave)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString QtDialogs::openFile(const QString &filter, const QString &defaultSuffix, const QString &dir)
{
    return runFileDialog(m_parent, QFileDialog::AcceptOpen, filter, defaultSuffix, dir);
}

QString QtDialogs::saveFile(const QString &filter, const QString &defaultSuffix, const QString &dir)
{
    return runFileDialog(m_parent, QFileDialog::AcceptSave, filter, defaultSuffix, dir);
}

std::optional<QColor> QtDialogs::chooseColor(const QColor &initial)
{
    const QColor c = QColorDialog::getColor(initial, m_parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

} // namespace limra
