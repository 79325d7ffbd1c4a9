#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QUrl>
#include <QFileDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>

#include "common/texts.h"
#include "platform/ui/qtdialogs.h"

namespace limra {

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
    box.exec();
}

void QtDialogs::notify(const QString &text, std::function<void()> dismissed)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, texts::kAppTitle, text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box, [dismissed = std::move(dismissed)] {
        if (dismissed)
            dismissed();
    });
    box->open();
}

void QtDialogs::error(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, texts::kErrorCaption, text, QMessageBox::Ok, m_parent);
    box.exec();
}

void QtDialogs::information(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtDialogs::question(const QString &caption, const QString &text, QuestionIcon icon)
{
    QMessageBox box(icon == QuestionIcon::Warning ? QMessageBox::Warning : QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    // Enter or a hasty click on the default never writes to a reader or discards work.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::input(const QString &caption, const QString &prompt, const QString &value)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
