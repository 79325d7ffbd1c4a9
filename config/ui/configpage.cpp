#include "config/ui/configpage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "common/texts.h"
#include "config/ui/configeditor.h"
#include "platform/typingreach.h"

namespace limra {

namespace {
const QString kClipboardOption = QStringLiteral("Помещать ID карты в буфер обмена");

// What the typing option says about its reach in this session, one sentence a
// line; empty where it reaches every program.
QString typingLimits(TypingReach reach)
{
    const QString clipboard = QStringLiteral("Параметр «") + kClipboardOption
                              + QStringLiteral("» работает во всех программах.");
    switch (reach) {
    case TypingReach::AllPrograms:
        return QString();
    case TypingReach::XWaylandOnly:
        return QStringLiteral("В сеансе Wayland набор доходит только до программ, работающих через XWayland.\n")
               + clipboard;
    case TypingReach::Unavailable:
        return QStringLiteral("Набор недоступен: нет X-сервера (переменная DISPLAY не задана).\n") + clipboard;
    }
    return QString();
}
} // namespace

ConfigPage::ConfigPage(EditorModel &model, UserDialogs &dialogs, QWidget *parent) : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    editor = new ConfigEditor(model, dialogs, scroll);
    scroll->setWidget(editor);
    row->addWidget(scroll, 1);

    auto *column = new QVBoxLayout;
    auto button = [&](const QString &text) {
        auto *b = new QPushButton(text, this);
        column->addWidget(b);
        return b;
    };
    readFileButton = button(QStringLiteral("Считать конфигурацию из файла"));
    writeFileButton = button(QStringLiteral("Записать конфигурацию в файл"));
    readReaderButton = button(texts::kReadConfigButton);
    writeReaderButton = button(QStringLiteral("Записать конфигурацию в USB-считыватель"));
    readMasterButton = button(QStringLiteral("Считать конфигурацию с мастер-карты"));
    masterToReaderButton = button(QStringLiteral("Считать конфигурацию с мастер-карты и записать в USB-считыватель"));
    createMastersButton = button(QStringLiteral("Создать мастер-карты"));
    clearMastersButton = button(QStringLiteral("Очистить мастер-карты"));
    defaultConfigButton = button(QStringLiteral("Показать конфигурацию по умолчанию"));
    column->addSpacing(12);
    auto check = [&](const QString &text) {
        auto *c = new QCheckBox(text, this);
        column->addWidget(c);
        return c;
    };
    toClipboard = check(kClipboardOption);
    toKeyboard = check(QStringLiteral("Имитация набора ID карты на клавиатуре "));
    const TypingReach reach = typingReach();
    toKeyboard->setToolTip(typingLimits(reach));
    toKeyboard->setAccessibleDescription(typingLimits(reach));
    toKeyboard->setEnabled(reach != TypingReach::Unavailable);
    newline = check(QStringLiteral("+ перевод строки"));
    startInTray = check(QStringLiteral("Сворачиваться в трей при запуске"));
    column->addStretch(1);
    keptButton = button(texts::kKeptConfigurationsCaption + QStringLiteral("…"));
    keptButton->setToolTip(QStringLiteral("Конфигурации, которые были в USB-считывателе перед записью новых"));
    row->addLayout(column);
    connect(toKeyboard, &QCheckBox::clicked, this, &ConfigPage::typingToggled);
}

void ConfigPage::typingToggled(bool on)
{
    newline->setEnabled(on);
    if (!on)
        newline->setChecked(false);
}

} // namespace limra
