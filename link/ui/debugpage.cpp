#include "link/ui/debugpage.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/timings.h"
#include "common/ui/mnemonic.h"
#include "common/ui/screenfit.h"
#include "link/hextext.h"
#include "link/trafficlog.h"
#include "link/ui/showreport.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
QPlainTextEdit *logView(QWidget *parent)
{
    auto *text = new QPlainTextEdit(parent);
    text->setReadOnly(true);
    text->setMaximumBlockCount(DebugPage::kKeptLines);
    text->setToolTip(QStringLiteral("Показаны последние %1 строк обмена.")
                         .arg(QLocale(QLocale::Russian).toString(DebugPage::kKeptLines)));
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return text;
}
} // namespace

DebugWindow::DebugWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Debug"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text = logView(this);
    text->setObjectName(QStringLiteral("debugWindowText"));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setAccessibleName(QStringLiteral("Debug"));
    text->viewport()->installEventFilter(this);
    layout->addWidget(text);
    resize(721, 539);
}

// It opens at the lines' beginnings, where the times are.
void DebugWindow::showEvent(QShowEvent *event)
{
    fitOnScreen(this);
    QDialog::showEvent(event);
    text->horizontalScrollBar()->setValue(0);
}

bool DebugWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == text->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        hide(); // the text stays and goes on receiving lines
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

DebugPage::DebugPage(TrafficLog &trafficLog, DebugRuns &runs, UserDialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_log(trafficLog), m_runs(runs), m_dialogs(dialogs)
{
    auto *layout = new QVBoxLayout(this);
    log = logView(this);
    log->setObjectName(QStringLiteral("trafficLog"));
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // its lines wrap
    log->setAccessibleName(texts::kDebugCaption);
    log->viewport()->installEventFilter(this);
    layout->addWidget(log, 1);
    auto *row = new QHBoxLayout;
    auto *framing = new QLabel(QStringLiteral("23 + LN + "), this);
    command = new QLineEdit(QStringLiteral("0C01"), this);
    command->setObjectName(QStringLiteral("command"));
    framing->setBuddy(command);
    sendButton = new QPushButton(QStringLiteral("Отправить"), this);
    sendButton->setObjectName(QStringLiteral("sendButton"));
    hex = new QCheckBox(QStringLiteral("HEX"), this);
    hex->setObjectName(QStringLiteral("hex"));
    hex->setChecked(true);
    ascii = new QCheckBox(QStringLiteral("ASCII"), this);
    ascii->setObjectName(QStringLiteral("ascii"));
    clearButton = new QPushButton(texts::kClear, this);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    setMnemonic(sendButton, QChar(u'т'));
    setMnemonic(clearButton, QChar(u'ч'));
    row->addWidget(framing);
    row->addWidget(command, 1);
    row->addWidget(new QLabel(QStringLiteral("+ 24"), this));
    row->addWidget(sendButton);
    row->addWidget(hex);
    row->addWidget(ascii);
    row->addWidget(clearButton);
    layout->addLayout(row);
    commandMessage = new QLabel(this);
    commandMessage->setObjectName(QStringLiteral("commandMessage"));
    commandMessage->setWordWrap(true);
    commandMessage->setStyleSheet(QStringLiteral("color: #C00000;"));
    commandMessage->hide();
    layout->addWidget(commandMessage);
    window = new DebugWindow(this);
    window->setObjectName(QStringLiteral("debugWindow"));
    window->setParent(this, window->windowFlags());

    m_appendTimer.setSingleShot(true);
    m_appendTimer.setInterval(Timings().debugAppend);
    connect(&m_appendTimer, &QTimer::timeout, this, &DebugPage::appendPending);
    connect(&m_log, &TrafficLog::lineAdded, this, &DebugPage::lineAdded);
    connect(sendButton, &QPushButton::clicked, this, &DebugPage::send);
    connect(command, &QLineEdit::textEdited, commandMessage, &QLabel::hide);
    connect(command, &QLineEdit::returnPressed, sendButton, &QPushButton::click);
    connect(hex, &QCheckBox::toggled, this, [this](bool on) { m_log.rendering.hex = on; });
    connect(ascii, &QCheckBox::toggled, this, [this](bool on) { m_log.rendering.ascii = on; });
    connect(clearButton, &QPushButton::clicked, this, [this] {
        m_pending.clear();
        m_pendingCharacters = 0;
        m_shown.clear();
        m_shownCharacters = 0;
        m_appendedCharacters = 0;
        log->clear();
        window->text->clear();
    });
}

// Only what was typed goes out, or nothing and the reason.
void DebugPage::send()
{
    const TypedCommand checked = parseTypedCommand(command->text());
    if (!checked.accepted()) {
        commandMessage->setText(checked.refusal);
        commandMessage->show();
        command->setFocus();
        return;
    }
    commandMessage->hide();
    m_runs.sendDebugCommand(checked.payload, [this](DebugCommand &run) {
        connect(&run, &DebugCommand::finished, this,
                [this](const ReaderOperation::Outcome &result) { showReport(m_dialogs, result.report); });
    });
}

void DebugPage::setReaderIdle(bool idle)
{
    sendButton->setEnabled(idle);
}

void DebugPage::lineAdded(const QString &line)
{
    m_pending << line;
    m_pendingCharacters += line.size();
    // Older ones would go from the views anyway.
    if (m_pending.size() >= 2 * kKeptLines || m_pendingCharacters > 2 * kKeptCharacters) {
        qsizetype drop = 0;
        while (m_pending.size() - drop > 1
               && (m_pending.size() - drop > kKeptLines || m_pendingCharacters > kKeptCharacters))
            m_pendingCharacters -= m_pending[drop++].size();
        m_pending.remove(0, drop);
    }
    if (!m_appendTimer.isActive())
        m_appendTimer.start();
}

void DebugPage::appendPending()
{
    if (m_pending.isEmpty())
        return;
    for (const QString &line : std::as_const(m_pending)) {
        m_shown.push_back(line);
        m_shownCharacters += line.size();
    }
    while (m_shown.size() > size_t(kKeptLines)) {
        m_shownCharacters -= m_shown.front().size();
        m_shown.pop_front();
    }
    // Past the characters kept the oldest lines go, down to half of them, and
    // the views show what is left: they drop lines by count only.
    bool refill = m_pending.size() > kRefillLines || m_appendedCharacters + m_pendingCharacters > kKeptCharacters;
    if (m_shownCharacters > kKeptCharacters) {
        while (m_shown.size() > 1 && m_shownCharacters > kKeptCharacters / 2) {
            m_shownCharacters -= m_shown.front().size();
            m_shown.pop_front();
        }
        refill = true;
    }
    // New lines do not scroll the window "Debug" sideways: the times stay in view.
    QScrollBar *sideways = window->text->horizontalScrollBar();
    const int across = sideways->value();
    if (refill) {
        QStringList all;
        all.reserve(qsizetype(m_shown.size()));
        for (const QString &line : m_shown)
            all << line;
        const QString text = all.join(QLatin1Char('\n'));
        for (QPlainTextEdit *view : {log, window->text}) {
            view->setPlainText(text);
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        }
        m_appendedCharacters = 0;
    } else {
        const QString batch = m_pending.join(QLatin1Char('\n'));
        m_appendedCharacters += batch.size();
        log->appendPlainText(batch);
        window->text->appendPlainText(batch);
    }
    sideways->setValue(across);
    m_pending.clear();
    m_pendingCharacters = 0;
}

bool DebugPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == log->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        window->show();
        window->raise();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace limra

#include "moc_debugpage.cpp"
