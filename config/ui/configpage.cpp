#include "config/ui/configpage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStyleOptionButton>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/mnemonic.h"
#include "config/ui/configeditor.h"
#include "platform/typingreach.h"

namespace limra {

namespace {
const QString kClipboardOption = QStringLiteral("Помещать ID карты в буфер обмена");

// What the typing option says about its reach in this session, one sentence a
// line; empty where it reaches every program with nothing to ask.
QString typingLimits(TypingReach reach)
{
    const QString clipboard = QStringLiteral("Параметр «") + kClipboardOption
                              + QStringLiteral("» работает во всех программах.");
    const QString noPortal = waylandSession() ? texts::kTypingWithoutPortal + QLatin1Char('\n') : QString();
    switch (reach) {
    case TypingReach::AllPrograms:
        return QString();
    case TypingReach::XWaylandOnly:
        return noPortal
               + QStringLiteral("В сеансе Wayland набор доходит только до программ, работающих через XWayland.\n")
               + clipboard;
    case TypingReach::Unavailable:
        return noPortal + QStringLiteral("Набор недоступен: нет X-сервера (переменная DISPLAY не задана).\n")
               + clipboard;
    case TypingReach::DesktopPortal:
        return texts::kTypingThroughPortal;
    case TypingReach::DesktopRefused:
        return texts::kTypingRefused + QLatin1Char(' ') + texts::kTypingAskAgain + QLatin1Char('\n') + clipboard;
    case TypingReach::DesktopCancelled:
        return texts::kTypingRequestCancelled + QLatin1Char(' ') + texts::kTypingAskAgain + QLatin1Char('\n')
               + clipboard;
    }
    return QString();
}

// A push button whose text breaks into lines to fit the width the column
// gives it, with room on both sides; it never asks for more width than its
// longest word.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override
    {
        int word = 0;
        for (const QString &w : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            word = std::max(word, fontMetrics().horizontalAdvance(w));
        const int width = word + extraWidth();
        return QSize(width, heightForWidth(width));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        const QRect text = fontMetrics().boundingRect(QRect(0, 0, std::max(1, width - extraWidth()), 10000),
                                                      kFlags, this->text());
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(text.width(), text.height()), this).height();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
        const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        const int side = padding();
        style()->drawItemText(&painter, contents.adjusted(side, 0, -side, 0), kFlags, palette(), isEnabled(), text(),
                              QPalette::ButtonText);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    }

private:
    static constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    int padding() const { return style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this); }
    // The frame, the style's margins and the padding on both sides.
    int extraWidth() const
    {
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(0, 0), this).width() + 2 * padding();
    }
};

} // namespace

ConfigPage::ConfigPage(EditorModel &model, UserDialogs &dialogs, QWidget *parent) : QWidget(parent)
{
    // The editor takes every pixel the column of buttons and options leaves.
    auto *row = new QHBoxLayout(this);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // the controls inside take the focus, not the area
    m_editor = new ConfigEditor(model, dialogs, scroll);
    connect(m_editor, &ConfigEditor::synced, this, &ConfigPage::editorSynced);
    m_editor->setObjectName(QStringLiteral("configEditor"));
    scroll->setWidget(m_editor);
    row->addWidget(scroll, 1);

    auto *side = new QWidget(this);
    side->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto *column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    auto button = [&](const QString &text) {
        auto *b = new QPushButton(text, side);
        column->addWidget(b);
        return b;
    };
    readFileButton = button(QStringLiteral("Считать конфигурацию из файла"));
    readFileButton->setObjectName(QStringLiteral("readFileButton"));
    writeFileButton = button(QStringLiteral("Записать конфигурацию в файл"));
    writeFileButton->setObjectName(QStringLiteral("writeFileButton"));
    readReaderButton = button(texts::kReadConfigButton);
    readReaderButton->setObjectName(QStringLiteral("readReaderButton"));
    writeReaderButton = button(texts::kWriteConfigButton);
    writeReaderButton->setObjectName(QStringLiteral("writeReaderButton"));
    readMasterButton = button(QStringLiteral("Считать конфигурацию с мастер-карты"));
    readMasterButton->setObjectName(QStringLiteral("readMasterButton"));
    // The longest text breaks into lines rather than widen the column.
    masterToReaderButton =
        new WrappingButton(QStringLiteral("Считать конфигурацию с мастер-карты и записать в USB-считыватель"), side);
    masterToReaderButton->setObjectName(QStringLiteral("masterToReaderButton"));
    column->addWidget(masterToReaderButton);
    createMastersButton = button(QStringLiteral("Создать мастер-карты"));
    createMastersButton->setObjectName(QStringLiteral("createMastersButton"));
    clearMastersButton = button(QStringLiteral("Очистить мастер-карты"));
    clearMastersButton->setObjectName(QStringLiteral("clearMastersButton"));
    defaultConfigButton = button(QStringLiteral("Показать конфигурацию по умолчанию"));
    defaultConfigButton->setObjectName(QStringLiteral("defaultConfigButton"));
    column->addSpacing(12);
    auto check = [&](const QString &text) {
        auto *c = new QCheckBox(text, side);
        column->addWidget(c);
        return c;
    };
    toClipboard = check(kClipboardOption);
    toClipboard->setObjectName(QStringLiteral("toClipboard"));
    toKeyboard = check(QStringLiteral("Имитация набора ID карты на клавиатуре "));
    toKeyboard->setObjectName(QStringLiteral("toKeyboard"));
    showTypingReach(typingReach());
    newline = check(QStringLiteral("+ перевод строки"));
    newline->setObjectName(QStringLiteral("newline"));
    startInTray = check(QStringLiteral("Сворачиваться в трей при запуске"));
    startInTray->setObjectName(QStringLiteral("startInTray"));
    column->addStretch(1);
    keptButton = button(texts::kKeptConfigurationsCaption + QStringLiteral("…"));
    keptButton->setObjectName(QStringLiteral("keptButton"));
    keptButton->setToolTip(QStringLiteral("Конфигурации, которые были в USB-считывателе перед записью новых"));
    // Alt and a letter of each button's text, none shared with the tabs.
    const std::pair<QPushButton *, char16_t> mnemonics[] = {
        {readFileButton, u'С'},    {writeFileButton, u'п'},      {readReaderButton, u'т'},
        {writeReaderButton, u'в'}, {readMasterButton, u'м'},     {masterToReaderButton, u'и'},
        {createMastersButton, u'д'}, {clearMastersButton, u'ч'}, {defaultConfigButton, u'у'},
        {keptButton, u'х'}};
    for (const auto &[b, letter] : mnemonics)
        setMnemonic(b, QChar(letter));
    // Room beside the widest text of the column.
    side->setMinimumWidth(side->sizeHint().width() + 2 * style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this));
    row->addWidget(side);
    connect(toKeyboard, &QCheckBox::toggled, this, &ConfigPage::typingToggled);
    const std::pair<QPushButton *, void (ConfigPage::*)()> clicks[] = {
        {readFileButton, &ConfigPage::readFileClicked},
        {writeFileButton, &ConfigPage::writeFileClicked},
        {readReaderButton, &ConfigPage::readReaderClicked},
        {writeReaderButton, &ConfigPage::writeReaderClicked},
        {readMasterButton, &ConfigPage::readMasterClicked},
        {masterToReaderButton, &ConfigPage::masterToReaderClicked},
        {createMastersButton, &ConfigPage::createMastersClicked},
        {clearMastersButton, &ConfigPage::clearMastersClicked},
        {defaultConfigButton, &ConfigPage::defaultConfigClicked},
        {keptButton, &ConfigPage::keptClicked}};
    for (const auto &[b, signal] : clicks)
        connect(b, &QPushButton::clicked, this, signal);
    connect(toKeyboard, &QCheckBox::clicked, this, &ConfigPage::typingClicked);
}

void ConfigPage::setReaderActionsEnabled(bool enabled)
{
    for (QPushButton *b : {readReaderButton, writeReaderButton, readMasterButton, masterToReaderButton,
                           createMastersButton, clearMastersButton})
        b->setEnabled(enabled);
}

void ConfigPage::setFileShortcuts(const QKeySequence &read, const QKeySequence &write)
{
    readFileButton->setToolTip(read.toString(QKeySequence::NativeText));
    writeFileButton->setToolTip(write.toString(QKeySequence::NativeText));
}

void ConfigPage::readFileByShortcut()
{
    if (readFileButton->isEnabled())
        readFileButton->click();
}

void ConfigPage::writeFileByShortcut()
{
    if (writeFileButton->isEnabled())
        writeFileButton->click();
}

void ConfigPage::startUpEditor() { m_editor->startUp(); }

void ConfigPage::syncEditor() { m_editor->sync(); }

void ConfigPage::useZoneTools(ZoneTools &tools) { m_editor->useZoneTools(tools); }

bool ConfigPage::copiesToClipboard() const
{
    return toClipboard->isChecked();
}

void ConfigPage::setCopiesToClipboard(bool on)
{
    toClipboard->setChecked(on);
}

QString ConfigPage::clipboardOptionText() const
{
    return toClipboard->text();
}

bool ConfigPage::typesOnKeyboard() const
{
    return toKeyboard->isChecked();
}

void ConfigPage::setTypesOnKeyboard(bool on)
{
    toKeyboard->setChecked(on);
}

bool ConfigPage::addsNewline() const
{
    return newline->isChecked();
}

void ConfigPage::setAddsNewline(bool on)
{
    newline->setChecked(on);
    newline->setEnabled(true);
}

bool ConfigPage::startsInTray() const
{
    return startInTray->isChecked();
}

void ConfigPage::setStartsInTray(bool on)
{
    startInTray->setChecked(on);
}

void ConfigPage::disableTrayStart(const QString &why)
{
    startInTray->setEnabled(false);
    startInTray->setToolTip(why);
}

void ConfigPage::showTypingReach(TypingReach reach)
{
    toKeyboard->setToolTip(typingLimits(reach));
    toKeyboard->setAccessibleDescription(typingLimits(reach));
    toKeyboard->setEnabled(reach != TypingReach::Unavailable);
}

void ConfigPage::typingToggled(bool on)
{
    newline->setEnabled(on);
    if (!on)
        newline->setChecked(false);
}

} // namespace limra

#include "moc_configpage.cpp"
