#include "provisioning/ui/cardwaitdialogs.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "common/texts.h"
#include "common/ui/displaytext.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
constexpr int kInstructionPx = 16;
constexpr int kDigitsPx = 21;

// A page of a stacked dialog: the dialog's own margins are enough.
QVBoxLayout *pageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}
} // namespace

// ---- common ------------------------------------------------------------------

CardWaitDialog::CardWaitDialog(CardWait &wait, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_wait(&wait), m_dialogs(dialogs)
{
    setWindowModality(Qt::NonModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(wait.caption());
    connect(&wait, &CardWait::changed, this, [this] {
        if (m_wait)
            refresh();
    });
    connect(&wait, &CardWait::notice, this, [this](const CardWait::Notice &notice) {
        QPointer<CardWait> told = m_wait;
        m_dialogs.notify(noticeText(notice), [told] {
            if (told)
                told->acknowledge();
        });
    });
    connect(&wait, &CardWait::ended, this, &CardWaitDialog::ended);
    cancelButton = new QPushButton(texts::kCancel, this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CardWaitDialog::addCancel(QLayout *layout)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cancelButton);
    static_cast<QBoxLayout *>(layout)->addLayout(row);
}

void CardWaitDialog::fixSize(QSize size)
{
    setFixedSize(size.expandedTo(sizeHint()));
}

// The keyboard starts on a named button: "Отмена" unless the dialog has a better one.
void CardWaitDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    QWidget *focus = focusWidget();
    if (!focus || !focus->isVisible() || !qobject_cast<QPushButton *>(focus))
        cancelButton->setFocus(Qt::OtherFocusReason);
}

void CardWaitDialog::ended()
{
    if (isVisible())
        QDialog::done(m_wait && m_wait->result() == WaitResult::Yes ? Accepted : Rejected);
}

void CardWaitDialog::done(int result)
{
    // The close button and Escape end the wait with Cancel.
    if (m_wait && m_wait->isOpen())
        m_wait->close();
    QDialog::done(result);
}

QLabel *CardWaitDialog::addText(const QString &text, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(keepHyphenatedWords(text), parent);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixelSize);
    label->setFont(f);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    parent->layout()->addWidget(label);
    return label;
}

QLabel *CardWaitDialog::addSeconds(QWidget *parent)
{
    QLabel *caption = addText(texts::kTimeLeft, kInstructionPx, parent);
    QLabel *seconds = addText(QString(), kDigitsPx, parent);
    caption->setBuddy(seconds); // the caption labels the value; the value is what is read out
    return seconds;
}

QLabel *CardWaitDialog::addCounter(const QString &caption, QWidget *parent)
{
    QLabel *captionLabel = addText(caption, kInstructionPx, parent);
    QLabel *counter = addText(QStringLiteral("0"), kDigitsPx, parent);
    captionLabel->setBuddy(counter);
    return counter;
}

void CardWaitDialog::showSeconds(QLabel *label, int seconds)
{
    label->setText(QString::number(seconds));
}

// ---- writing master cards ------------------------------------------------------

MasterCardWritingDialog::MasterCardWritingDialog(MasterCardWriting &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_writing(wait)
{
    auto *layout = new QVBoxLayout(this);
    // As wide as the option's text needs, at any font size.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    pages = new QStackedWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    layout->addWidget(pages);

    auto *countPage = new QWidget(pages);
    pageLayout(countPage);
    heading = addText(QString(), kInstructionPx, countPage);
    heading->setObjectName(QStringLiteral("heading"));
    addText(QStringLiteral("Укажите количество создаваемых мастер-карт:"), kInstructionPx, countPage);
    auto *buttons = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto *b = new QPushButton(QString::number(i + 1), countPage);
        QFont f = b->font();
        f.setPixelSize(kDigitsPx);
        b->setFont(f);
        b->setMinimumSize(56, 48);
        // Enter acts on the focused button only: nothing is written without a choice.
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setObjectName(QStringLiteral("countButton%1").arg(i + 1));
        countButtons[size_t(i)] = b;
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { m_writing.chooseCount(i + 1); });
    }
    static_cast<QVBoxLayout *>(countPage->layout())->addLayout(buttons);
    option = new QCheckBox(QStringLiteral(" Защищенный режим можно удалить ТОЛЬКО с помощью создаваемых мастер-карт "),
                           countPage);
    option->setObjectName(QStringLiteral("secureModeOption"));
    countPage->layout()->addWidget(option);
    optionWarning = new QLabel(QStringLiteral("Не используйте эту опцию если в этом нет крайней необходимости."), countPage);
    optionWarning->setObjectName(QStringLiteral("optionWarning"));
    QFont small = optionWarning->font();
    small.setPixelSize(11);
    optionWarning->setFont(small);
    QPalette red = optionWarning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    optionWarning->setPalette(red);
    countPage->layout()->addWidget(optionWarning);
    option->setAccessibleDescription(optionWarning->text());
    pages->addWidget(countPage);
    connect(option, &QCheckBox::clicked, this, &MasterCardWritingDialog::optionClicked);

    auto *progressPage = new QWidget(pages);
    pageLayout(progressPage);
    prompt = addText(QString(), kInstructionPx, progressPage);
    prompt->setObjectName(QStringLiteral("prompt"));
    seconds = addSeconds(progressPage);
    seconds->setObjectName(QStringLiteral("seconds"));
    pages->addWidget(progressPage);
    addCancel(layout);
    refresh();
}

void MasterCardWritingDialog::optionClicked(bool checked)
{
    // Taking the option is asked first; leaving it asks nothing.
    const bool take = checked
                      && m_dialogs.question(
                          QStringLiteral("Выбор опции"),
                          QStringLiteral("Внимание!\r\nВ случае утери создаваемых мастер-карт удалить защищенный режим "
                                         "будет невозможно.\r\nВыбрать данную опцию?"),
                          UserDialogs::QuestionIcon::Warning);
    if (m_wait)
        m_writing.setOption(take);
}

void MasterCardWritingDialog::showEvent(QShowEvent *event)
{
    countButtons[0]->setFocus();
    CardWaitDialog::showEvent(event);
}

void MasterCardWritingDialog::refresh()
{
    heading->setText(keepHyphenatedWords(m_writing.heading()));
    option->setVisible(m_writing.optionVisible());
    optionWarning->setVisible(m_writing.optionVisible());
    option->setChecked(m_writing.optionChecked());
    pages->setCurrentIndex(m_writing.page() == MasterCardWriting::Page::Count ? 0 : 1);
    prompt->setText(keepHyphenatedWords(m_writing.prompt()));
    showSeconds(seconds, m_writing.secondsShown());
}

// ---- one card ------------------------------------------------------------------

SingleCardDialog::SingleCardDialog(SingleCardWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_single(wait)
{
    new QVBoxLayout(this);
    prompt = addText(wait.prompt(), kInstructionPx, this);
    prompt->setObjectName(QStringLiteral("prompt"));
    seconds = addSeconds(this);
    seconds->setObjectName(QStringLiteral("seconds"));
    addCancel(layout());
    fixSize(QSize(460, 180));
    refresh();
}

void SingleCardDialog::refresh()
{
    prompt->setText(keepHyphenatedWords(m_single.prompt()));
    showSeconds(seconds, m_single.secondsShown());
}

// ---- clearing cards --------------------------------------------------------------

ClearingDialog::ClearingDialog(ClearingWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_clearing(wait)
{
    new QVBoxLayout(this);
    prompt = addText(wait.prompt(), kInstructionPx, this);
    prompt->setObjectName(QStringLiteral("prompt"));
    counter = addCounter(texts::kClearedCards, this);
    counter->setObjectName(QStringLiteral("counter"));
    finishButton = new QPushButton(wait.finishText(), this);
    finishButton->setObjectName(QStringLiteral("finishButton"));
    layout()->addWidget(finishButton);
    connect(finishButton, &QPushButton::clicked, this, [this] {
        if (m_wait)
            m_clearing.finishByUser();
    });
    addCancel(layout());
    fixSize(QSize(460, 220));
    refresh();
}

void ClearingDialog::refresh()
{
    counter->setText(QString::number(m_clearing.cleared()));
}

// ---- secure cards ------------------------------------------------------------------

SecureCardDialog::SecureCardDialog(SecureCardWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_secure(wait)
{
    auto *layout = new QVBoxLayout(this);
    pages = new QStackedWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    layout->addWidget(pages);
    auto *masterPage = new QWidget(pages);
    pageLayout(masterPage);
    addText(texts::kObjectCodeWaitPrompt, kInstructionPx, masterPage);
    seconds = addSeconds(masterPage);
    seconds->setObjectName(QStringLiteral("seconds"));
    pages->addWidget(masterPage);

    auto *cardPage = new QWidget(pages);
    pageLayout(cardPage);
    addText(texts::kPresentCardsPrompt, kInstructionPx, cardPage);
    counter = addCounter(wait.counterCaption(), cardPage);
    counter->setObjectName(QStringLiteral("counter"));
    finishButton = new QPushButton(wait.finishText(), cardPage);
    finishButton->setObjectName(QStringLiteral("finishButton"));
    cardPage->layout()->addWidget(finishButton);
    pages->addWidget(cardPage);
    connect(finishButton, &QPushButton::clicked, this, [this] {
        if (m_wait)
            m_secure.finishByUser();
    });
    addCancel(layout);
    fixSize(QSize(460, 220));
    refresh();
}

void SecureCardDialog::refresh()
{
    const bool cards = m_secure.page() == SecureCardWait::Page::Cards;
    const bool switched = cards && pages->currentIndex() == 0;
    pages->setCurrentIndex(cards ? 1 : 0);
    showSeconds(seconds, m_secure.secondsShown());
    counter->setText(QString::number(m_secure.made()));
    if (switched)
        finishButton->setFocus();
}

// ---- a master card's configuration --------------------------------------------------

MasterConfigDialog::MasterConfigDialog(MasterConfigWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_config(wait)
{
    new QVBoxLayout(this);
    addText(QStringLiteral("Поднесите мастер-карту к USB-считывателю"), kInstructionPx, this);
    seconds = addSeconds(this);
    seconds->setObjectName(QStringLiteral("seconds"));
    addCancel(layout());
    fixSize(QSize(460, 180));
    refresh();
}

void MasterConfigDialog::refresh()
{
    showSeconds(seconds, m_config.secondsLeft());
}

// ---- showing them ------------------------------------------------------------------

CardWaitDialog *showCardWait(CardWait &wait, UserDialogs &dialogs, QWidget *parent)
{
    if (!wait.isOpen())
        return nullptr;
    CardWaitDialog *dialog = nullptr;
    switch (wait.kind()) {
    case CardWait::Kind::MasterCardWriting:
        dialog = new MasterCardWritingDialog(static_cast<MasterCardWriting &>(wait), dialogs, parent);
        break;
    case CardWait::Kind::SingleCard:
        dialog = new SingleCardDialog(static_cast<SingleCardWait &>(wait), dialogs, parent);
        break;
    case CardWait::Kind::Clearing:
        dialog = new ClearingDialog(static_cast<ClearingWait &>(wait), dialogs, parent);
        break;
    case CardWait::Kind::SecureCards:
        dialog = new SecureCardDialog(static_cast<SecureCardWait &>(wait), dialogs, parent);
        break;
    case CardWait::Kind::MasterConfig:
        dialog = new MasterConfigDialog(static_cast<MasterConfigWait &>(wait), dialogs, parent);
        break;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show(); // not open(): that would block the window behind it
    return dialog;
}

} // namespace limra

#include "moc_cardwaitdialogs.cpp"
