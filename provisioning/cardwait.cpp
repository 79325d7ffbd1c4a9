#include "provisioning/cardwait.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "link/errors.h"
#include "platform/dialogs.h"
#include "provisioning/cardevents.h"

namespace limra {

namespace {
constexpr int kTickMs = 100;
constexpr int kBudgetTicks = 150;
constexpr int kDebugBudgetTicks = 1200;
constexpr int kMasterReportSeconds = 30;
constexpr int kInstructionPx = 16;
constexpr int kDigitsPx = 21;
const QString kTimeLeft = QStringLiteral("Времени осталось:");
const QString kCleared = QStringLiteral("Очищено карт:");
} // namespace

// ---- common -----------------------------------------------------------------

CardWaitDialog::CardWaitDialog(const CardWaitContext &c, int intervalMs, QWidget *parent)
    : QDialog(parent), context(c)
{
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, this, &CardWaitDialog::tick);
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

int CardWaitDialog::budget() const
{
    return context.debugMode() ? kDebugBudgetTicks : kBudgetTicks;
}

void CardWaitDialog::done(int result)
{
    timer.stop();
    QDialog::done(result);
}

void CardWaitDialog::showMessage(const QString &text, bool restartTimer)
{
    const bool running = timer.isActive();
    timer.stop();
    context.dialogs->message(text);
    if (running && restartTimer && isVisible())
        timer.start();
}

void CardWaitDialog::showFailure()
{
    showMessage(QStringLiteral("Ошибка: ") + errtotext(cardevents::code(status())));
}

QLabel *CardWaitDialog::text(const QString &s, int pixelSize, QWidget *parent)
{
    auto *l = new QLabel(s, parent);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixelSize);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    l->setWordWrap(true);
    return l;
}

void CardWaitDialog::countDown(QLabel *label)
{
    Answer &a = status();
    if (cardevents::failure(a)) {
        showFailure();
        cardevents::consume(a);
    }
    --ticksleft;
    showSeconds(label);
    if (ticksleft == 0) {
        timer.stop();
        done(No);
    }
}

void CardWaitDialog::showSeconds(QLabel *label)
{
    label->setText(QString::number(ticksleft / 10));
}

// ---- TForm2 -------------------------------------------------------------------

TForm2::TForm2(const CardWaitContext &c, QWidget *parent) : CardWaitDialog(c, kTickMs, parent)
{
    setWindowTitle(QStringLiteral("Запись мастер-карт"));
    auto *layout = new QVBoxLayout(this);
    pages = new QStackedWidget(this);
    layout->addWidget(pages);

    auto *countPage = new QWidget(pages);
    auto *cp = new QVBoxLayout(countPage);
    heading = text(QString(), kInstructionPx, countPage);
    cp->addWidget(heading);
    cp->addWidget(text(QStringLiteral("Укажите количество создаваемых мастер-карт:"), kInstructionPx, countPage));
    auto *buttons = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto *b = new QPushButton(QString::number(i + 1), countPage);
        QFont f = b->font();
        f.setPixelSize(kDigitsPx);
        b->setFont(f);
        b->setMinimumSize(56, 48);
        countButtons[size_t(i)] = b;
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { countChosen(i + 1); });
    }
    cp->addLayout(buttons);
    option = new QCheckBox(QStringLiteral(" Защищенный режим можно удалить ТОЛЬКО с помощью создаваемых мастер-карт "), countPage);
    optionWarning = new QLabel(QStringLiteral("Не используйте эту опцию если в этом нет крайней необходимости."), countPage);
    QFont small = optionWarning->font();
    small.setPixelSize(11);
    optionWarning->setFont(small);
    QPalette red = optionWarning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    optionWarning->setPalette(red);
    cp->addWidget(option);
    cp->addWidget(optionWarning);
    pages->addWidget(countPage);

    auto *progressPage = new QWidget(pages);
    auto *pp = new QVBoxLayout(progressPage);
    prompt = text(QString(), kInstructionPx, progressPage);
    pp->addWidget(prompt);
    pp->addWidget(text(kTimeLeft, kInstructionPx, progressPage));
    seconds = text(QString(), kDigitsPx, progressPage);
    seconds->setAccessibleName(kTimeLeft);
    pp->addWidget(seconds);
    pages->addWidget(progressPage);

    connect(option, &QCheckBox::clicked, this, [this](bool on) {
        if (on && !context.dialogs->question(QStringLiteral("Выбор опции"),
                                             QStringLiteral("Внимание!\r\nВ случае утери создаваемых мастер-карт удалить "
                                                            "защищенный режим будет невозможно.\r\nВыбрать данную опцию?"),
                                             UserDialogs::QuestionIcon::Warning))
            option->setChecked(false);
    });
    setFixedSize(520, 260);
}

void TForm2::setOptionVisible(bool visible)
{
    option->setVisible(visible);
    optionWarning->setVisible(visible);
}

void TForm2::showEvent(QShowEvent *event)
{
    heading->setText(QStringLiteral("Подготовьте необходимое количество чистых карт ") + crdtype);
    timer.stop();
    pages->setCurrentIndex(0);
    countButtons[0]->setFocus();
    requested = 0;
    written = 0;
    QDialog::showEvent(event);
}

void TForm2::countChosen(int count)
{
    requested = count;
    written = 0;
    ReaderLink &link = *context.link;
    QString result = link.SendToComPort(config + (option->isChecked() ? QStringLiteral("1101AA") : QStringLiteral("110100")),
                                        2000);
    if (isError(result)) {
        context.dialogs->message(QStringLiteral("Ошибка записи конфигурации: ") + errtotext(errorCode(result)));
        done(Cancel);
        return;
    }
    result = link.SendToComPort(QStringLiteral("0201010200") + hexByte(count), 2000);
    if (isError(result)) {
        context.dialogs->message(QStringLiteral("Ошибка перевода в режим создания мастер-карт: ") + errtotext(errorCode(result)));
        done(Cancel);
        return;
    }
    pages->setCurrentIndex(1);
    cardevents::consume(status());
    setPrompt();
    ticksleft = budget();
    showSeconds(seconds);
    timer.start();
}

void TForm2::setPrompt()
{
    prompt->setText(QStringLiteral("Поднесите %1 из %2 карту ").arg(written + 1).arg(requested) + crdtype
                    + QStringLiteral("к USB-считывателю"));
}

void TForm2::tick()
{
    --ticksleft;
    showSeconds(seconds);
    if (ticksleft <= 0) {
        timer.stop();
        showMessage(QStringLiteral("Ошибка: время истекло"), false);
        done(Cancel);
    }
    Answer &a = status();
    if (a.cmd != 0)
        return;
    if (a.body == QLatin1String("0D0100")) {
        timer.stop();
        ++written;
        if (written < requested) {
            setPrompt();
            ticksleft = budget();
            showSeconds(seconds);
            timer.start();
        } else {
            showMessage(requested == 1 ? QStringLiteral("Мастер-карта успешно создана")
                                       : QStringLiteral("Мастер-карты успешно созданы"),
                        false);
            done(Cancel);
        }
    } else if (cardevents::failure(a)) {
        showFailure();
    }
    cardevents::consume(a);
}

// ---- TForm3 -------------------------------------------------------------------

TForm3::TForm3(const CardWaitContext &c, QWidget *parent) : CardWaitDialog(c, kTickMs, parent)
{
    setWindowTitle(kObjectCodeCaption);
    auto *layout = new QVBoxLayout(this);
    prompt = text(kObjectCodePrompt, kInstructionPx, this);
    layout->addWidget(prompt);
    layout->addWidget(text(kTimeLeft, kInstructionPx, this));
    seconds = text(QString(), kDigitsPx, this);
    seconds->setAccessibleName(kTimeLeft);
    layout->addWidget(seconds);
    setFixedSize(460, 180);
}

void TForm3::setPrompt(const QString &caption, const QString &text)
{
    setWindowTitle(caption);
    prompt->setText(text);
}

void TForm3::showEvent(QShowEvent *event)
{
    timer.stop();
    ticksleft = budget();
    showSeconds(seconds);
    timer.start();
    QDialog::showEvent(event);
}

void TForm3::tick()
{
    if (ticksleft == 0) {
        timer.stop();
        return;
    }
    Answer &a = status();
    if (cardevents::success(a)) {
        timer.stop();
        done(Yes); // the event stays in place
        return;
    }
    countDown(seconds);
}

// ---- TForm4 -------------------------------------------------------------------

TForm4::TForm4(const CardWaitContext &c, QWidget *parent) : CardWaitDialog(c, kTickMs, parent)
{
    auto *layout = new QVBoxLayout(this);
    prompt = text(QStringLiteral("По очереди подносите мастер-карты к USB-считывателю"), kInstructionPx, this);
    layout->addWidget(prompt);
    layout->addWidget(text(kCleared, kInstructionPx, this));
    counter = text(QStringLiteral("0"), kDigitsPx, this);
    counter->setAccessibleName(kCleared);
    layout->addWidget(counter);
    finish = new QPushButton(QStringLiteral("Закончить очистку мастер-карт"), this);
    layout->addWidget(finish);
    connect(finish, &QPushButton::clicked, this, [this] {
        timer.stop();
        done(Yes);
    });
    setFixedSize(460, 220);
}

void TForm4::setTexts(const QString &caption, const QString &p, const QString &f)
{
    setWindowTitle(caption);
    prompt->setText(p);
    finish->setText(f);
}

void TForm4::showEvent(QShowEvent *event)
{
    counter->setText(QStringLiteral("0"));
    clearcnt = 0;
    timer.start();
    QDialog::showEvent(event);
}

void TForm4::tick()
{
    timer.stop();
    counter->setText(QString::number(clearcnt));
    Answer &a = status();
    if (cardevents::waiting(a)) {
        if (a.body.size() == 6 && a.body.startsWith(QLatin1String("0D01"))) {
            if (a.body.right(2) == QLatin1String("00"))
                ++clearcnt;
            else
                context.dialogs->message(QStringLiteral("Ошибка: ") + errtotext(cardevents::code(a)));
        }
        cardevents::consume(a);
    }
    if (isVisible())
        timer.start();
}

// ---- TForm5 -------------------------------------------------------------------

TForm5::TForm5(const CardWaitContext &c, QWidget *parent) : CardWaitDialog(c, kTickMs, parent)
{
    auto *layout = new QVBoxLayout(this);
    pages = new QStackedWidget(this);
    layout->addWidget(pages);
    auto *masterPage = new QWidget(pages);
    auto *mp = new QVBoxLayout(masterPage);
    mp->addWidget(text(kObjectCodePrompt, kInstructionPx, masterPage));
    mp->addWidget(text(kTimeLeft, kInstructionPx, masterPage));
    seconds = text(QString(), kDigitsPx, masterPage);
    seconds->setAccessibleName(kTimeLeft);
    mp->addWidget(seconds);
    pages->addWidget(masterPage);

    auto *cardPage = new QWidget(pages);
    auto *cp = new QVBoxLayout(cardPage);
    cp->addWidget(text(QStringLiteral("По очереди подносите карты к USB-считывателю"), kInstructionPx, cardPage));
    counterCaption = text(QStringLiteral("Создано защищенных карт:"), kInstructionPx, cardPage);
    cp->addWidget(counterCaption);
    counter = text(QStringLiteral("0"), kDigitsPx, cardPage);
    counter->setAccessibleName(counterCaption->text());
    cp->addWidget(counter);
    finish = new QPushButton(QStringLiteral("Закончить создание защищенных карт"), cardPage);
    cp->addWidget(finish);
    pages->addWidget(cardPage);
    connect(finish, &QPushButton::clicked, this, [this] {
        timer.stop();
        done(Yes);
    });
    setFixedSize(460, 220);
}

void TForm5::setTexts(const QString &caption, const QString &counterText, const QString &finishText)
{
    setWindowTitle(caption);
    counterCaption->setText(counterText);
    counter->setAccessibleName(counterText);
    finish->setText(finishText);
}

void TForm5::showEvent(QShowEvent *event)
{
    timer.stop();
    pages->setCurrentIndex(0);
    ticksleft = budget();
    showSeconds(seconds);
    makecnt = 0;
    counter->setText(QStringLiteral("0"));
    timer.start();
    QDialog::showEvent(event);
}

void TForm5::tick()
{
    Answer &a = status();
    if (pages->currentIndex() == 0) {
        if (ticksleft == 0) {
            timer.stop();
            return;
        }
        if (cardevents::success(a)) {
            timer.stop();
            makecnt = 0;
            pages->setCurrentIndex(1);
            timer.start();
            cardevents::consume(a);
            return;
        }
        countDown(seconds);
        return;
    }
    if (cardevents::success(a)) {
        ++makecnt;
        cardevents::consume(a);
    } else if (cardevents::failure(a)) {
        showFailure();
        cardevents::consume(a);
    }
    counter->setText(QString::number(makecnt));
}

// ---- TForm8 -------------------------------------------------------------------

TForm8::TForm8(const CardWaitContext &c, QWidget *parent) : CardWaitDialog(c, 1000, parent)
{
    setWindowTitle(QStringLiteral("Чтение конфигурации с мастер-карты"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text(QStringLiteral("Поднесите мастер-карту к USB-считывателю"), kInstructionPx, this));
    layout->addWidget(text(kTimeLeft, kInstructionPx, this));
    seconds = text(QString(), kDigitsPx, this);
    seconds->setAccessibleName(kTimeLeft);
    layout->addWidget(seconds);
    setFixedSize(460, 180);
}

void TForm8::showEvent(QShowEvent *event)
{
    resstr.clear();
    timer.start();
    seconds->setText(QString::number(kMasterReportSeconds));
    QDialog::showEvent(event);
}

void TForm8::tick()
{
    const int left = seconds->text().toInt() - 1;
    seconds->setText(QString::number(left));
    if (left <= 0) {
        resstr = QStringLiteral("timeout");
        timer.stop();
        done(Cancel);
    }
}

void TForm8::masterConfigRead(const QString &items)
{
    resstr = items;
    done(Cancel);
}

} // namespace limra
