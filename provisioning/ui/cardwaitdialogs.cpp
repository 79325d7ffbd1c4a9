#include "provisioning/ui/cardwaitdialogs.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "common/texts.h"
#include "platform/dialogs.h"

namespace limra {

namespace {
constexpr int kInstructionPx = 16;
constexpr int kDigitsPx = 21;
} // namespace

// ---- common ------------------------------------------------------------------

CardWaitDialog::CardWaitDialog(CardWait &wait, UserDialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_wait(wait), m_dialogs(dialogs)
{
    m_timer.setInterval(wait.tickMs());
    connect(&m_timer, &QTimer::timeout, this, [this] { m_wait.tick(); });
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(wait.caption);
}

WaitResult CardWaitDialog::run(int budgetTicks)
{
    m_finished = false;
    m_result = WaitResult::Cancel;
    m_wait.open(*this, budgetTicks);
    if (!m_finished)
        exec();
    m_timer.stop();
    return m_result;
}

void CardWaitDialog::startTimer()
{
    if (!m_finished)
        m_timer.start();
}

void CardWaitDialog::stopTimer()
{
    m_timer.stop();
}

void CardWaitDialog::message(const QString &text)
{
    m_dialogs.message(text);
}

void CardWaitDialog::finish(WaitResult result)
{
    if (m_finished)
        return;
    m_result = result;
    m_finished = true;
    m_timer.stop();
    if (isVisible())
        QDialog::done(result == WaitResult::Yes ? Accepted : Rejected);
}

void CardWaitDialog::done(int result)
{
    // The close button and Escape end the wait with Cancel.
    if (!m_finished) {
        m_finished = true;
        m_result = WaitResult::Cancel;
    }
    m_timer.stop();
    QDialog::done(result);
}

QLabel *CardWaitDialog::addText(const QString &text, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
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
    caption->setBuddy(seconds);
    seconds->setAccessibleName(texts::kTimeLeft);
    return seconds;
}

QLabel *CardWaitDialog::addCounter(const QString &caption, QWidget *parent)
{
    QLabel *captionLabel = addText(caption, kInstructionPx, parent);
    QLabel *counter = addText(QStringLiteral("0"), kDigitsPx, parent);
    captionLabel->setBuddy(counter);
    counter->setAccessibleName(caption);
    return counter;
}

void CardWaitDialog::showSeconds(QLabel *label)
{
    label->setText(QString::number(m_wait.secondsShown()));
}

// ---- writing master cards ------------------------------------------------------

MasterCardWritingDialog::MasterCardWritingDialog(MasterCardWriting &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_writing(wait)
{
    auto *layout = new QVBoxLayout(this);
    pages = new QStackedWidget(this);
    layout->addWidget(pages);

    auto *countPage = new QWidget(pages);
    new QVBoxLayout(countPage);
    heading = addText(QString(), kInstructionPx, countPage);
    addText(QStringLiteral("Укажите количество создаваемых мастер-карт:"), kInstructionPx, countPage);
    auto *buttons = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto *b = new QPushButton(QString::number(i + 1), countPage);
        QFont f = b->font();
        f.setPixelSize(kDigitsPx);
        b->setFont(f);
        b->setMinimumSize(56, 48);
        countButtons[size_t(i)] = b;
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { m_writing.chooseCount(i + 1); });
    }
    static_cast<QVBoxLayout *>(countPage->layout())->addLayout(buttons);
    option = new QCheckBox(QStringLiteral(" Защищенный режим можно удалить ТОЛЬКО с помощью создаваемых мастер-карт "),
                           countPage);
    countPage->layout()->addWidget(option);
    optionWarning = new QLabel(QStringLiteral("Не используйте эту опцию если в этом нет крайней необходимости."), countPage);
    QFont small = optionWarning->font();
    small.setPixelSize(11);
    optionWarning->setFont(small);
    QPalette red = optionWarning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    optionWarning->setPalette(red);
    countPage->layout()->addWidget(optionWarning);
    option->setAccessibleDescription(optionWarning->text());
    pages->addWidget(countPage);
    connect(option, &QCheckBox::clicked, this, [this](bool on) { m_writing.setOption(on); });

    auto *progressPage = new QWidget(pages);
    new QVBoxLayout(progressPage);
    prompt = addText(QString(), kInstructionPx, progressPage);
    seconds = addSeconds(progressPage);
    pages->addWidget(progressPage);
    setFixedSize(520, 260);
}

void MasterCardWritingDialog::showEvent(QShowEvent *event)
{
    CardWaitDialog::showEvent(event);
    countButtons[0]->setFocus();
}

void MasterCardWritingDialog::changed()
{
    heading->setText(m_writing.heading);
    option->setVisible(m_writing.optionVisible);
    optionWarning->setVisible(m_writing.optionVisible);
    option->setChecked(m_writing.optionChecked);
    pages->setCurrentIndex(m_writing.page == MasterCardWriting::Page::Count ? 0 : 1);
    prompt->setText(m_writing.prompt);
    showSeconds(seconds);
}

// ---- one card ------------------------------------------------------------------

SingleCardDialog::SingleCardDialog(SingleCardWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_single(wait)
{
    new QVBoxLayout(this);
    prompt = addText(wait.prompt, kInstructionPx, this);
    seconds = addSeconds(this);
    setFixedSize(460, 180);
}

void SingleCardDialog::changed()
{
    prompt->setText(m_single.prompt);
    showSeconds(seconds);
}

// ---- clearing cards --------------------------------------------------------------

ClearingDialog::ClearingDialog(ClearingWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_clearing(wait)
{
    new QVBoxLayout(this);
    prompt = addText(wait.prompt, kInstructionPx, this);
    counter = addCounter(texts::kClearedCards, this);
    finishButton = new QPushButton(wait.finishText, this);
    layout()->addWidget(finishButton);
    connect(finishButton, &QPushButton::clicked, this, [this] { m_clearing.finishByUser(); });
    setFixedSize(460, 220);
}

void ClearingDialog::changed()
{
    counter->setText(QString::number(m_clearing.countShown));
}

// ---- secure cards ------------------------------------------------------------------

SecureCardDialog::SecureCardDialog(SecureCardWait &wait, UserDialogs &dialogs, QWidget *parent)
    : CardWaitDialog(wait, dialogs, parent), m_secure(wait)
{
    auto *layout = new QVBoxLayout(this);
    pages = new QStackedWidget(this);
    layout->addWidget(pages);
    auto *masterPage = new QWidget(pages);
    new QVBoxLayout(masterPage);
    addText(texts::kObjectCodeWaitPrompt, kInstructionPx, masterPage);
    seconds = addSeconds(masterPage);
    pages->addWidget(masterPage);

    auto *cardPage = new QWidget(pages);
    new QVBoxLayout(cardPage);
    addText(texts::kPresentCardsPrompt, kInstructionPx, cardPage);
    counter = addCounter(wait.counterCaption, cardPage);
    finishButton = new QPushButton(wait.finishText, cardPage);
    cardPage->layout()->addWidget(finishButton);
    pages->addWidget(cardPage);
    connect(finishButton, &QPushButton::clicked, this, [this] { m_secure.finishByUser(); });
    setFixedSize(460, 220);
}

void SecureCardDialog::changed()
{
    const bool cards = m_secure.page == SecureCardWait::Page::Cards;
    const bool switched = cards && pages->currentIndex() == 0;
    pages->setCurrentIndex(cards ? 1 : 0);
    showSeconds(seconds);
    counter->setText(QString::number(m_secure.made));
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
    setFixedSize(460, 180);
}

void MasterConfigDialog::changed()
{
    seconds->setText(QString::number(m_config.secondsLeft));
}

// ---- running them ------------------------------------------------------------------

DialogCardWaits::DialogCardWaits(UserDialogs &dialogs, QWidget *parent, std::function<bool()> debugMode)
    : m_dialogs(dialogs), m_parent(parent), m_debugMode(std::move(debugMode))
{
}

WaitResult DialogCardWaits::run(CardWait &wait)
{
    std::unique_ptr<CardWaitDialog> dialog;
    switch (wait.kind()) {
    case CardWait::Kind::MasterCardWriting:
        dialog = std::make_unique<MasterCardWritingDialog>(static_cast<MasterCardWriting &>(wait), m_dialogs, m_parent);
        break;
    case CardWait::Kind::SingleCard:
        dialog = std::make_unique<SingleCardDialog>(static_cast<SingleCardWait &>(wait), m_dialogs, m_parent);
        break;
    case CardWait::Kind::Clearing:
        dialog = std::make_unique<ClearingDialog>(static_cast<ClearingWait &>(wait), m_dialogs, m_parent);
        break;
    case CardWait::Kind::SecureCards:
        dialog = std::make_unique<SecureCardDialog>(static_cast<SecureCardWait &>(wait), m_dialogs, m_parent);
        break;
    case CardWait::Kind::MasterConfig:
        dialog = std::make_unique<MasterConfigDialog>(static_cast<MasterConfigWait &>(wait), m_dialogs, m_parent);
        break;
    }
    opened(dialog.get());
    return dialog->run(m_debugMode() ? CardWait::kDebugBudgetTicks : CardWait::kBudgetTicks);
}

} // namespace limra
