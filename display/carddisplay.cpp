#include "display/carddisplay.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

#include "display/cstuid.h"
#include "platform/clipboard.h"
#include "platform/keyinjector.h"

namespace limra {

namespace {
constexpr int kBlinkMs = 100;
constexpr int kKeyPauseMs = 10;
const QColor kStripColour(0xE9, 0xE9, 0xE9);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kInfoGrey(0x80, 0x80, 0x80);

QPixmap dot(const QColor &colour)
{
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return p;
}

QWidget *strip(QWidget *parent, int height, const QColor &colour)
{
    auto *w = new QWidget(parent);
    w->setFixedHeight(height);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    return w;
}

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

bool isLatinLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}
} // namespace

CardDisplay::CardDisplay(Clipboard *cb, KeyInjector *k, QWidget *parent) : QFrame(parent), clipboard(cb), keys(k)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    // Kind strip.
    QWidget *kinds = strip(this, 18, kStripColour);
    auto *kindRow = new QHBoxLayout(kinds);
    kindRow->setContentsMargins(1, 1, 1, 1);
    indicator = new QLabel(kinds);
    indicator->setPixmap(dot(Qt::gray));
    indicator->setAccessibleName(QStringLiteral("Индикатор чтения карты"));
    kindRow->addWidget(indicator);
    kindRow->addStretch(1);
    QFont kindFont(QStringLiteral("Tahoma"));
    kindFont.setPixelSize(13);
    const std::vector<IdKind> &order = idKindLabelOrder();
    for (size_t i = 0; i < order.size(); ++i) {
        auto *l = new QLabel(QString::fromLatin1(idKindInfo(order[i]).label), kinds);
        l->setFont(kindFont);
        setTextColour(l, kSilver);
        kindLabels[i] = l;
        kindRow->addWidget(l);
        kindRow->addSpacing(12);
    }
    kindRow->addStretch(1);
    layout->addWidget(kinds);

    // Identifier strip.
    identifierStrip = strip(this, 42, Qt::white);
    auto *idRow = new QHBoxLayout(identifierStrip);
    idRow->setContentsMargins(0, 0, 0, 0);
    idRow->setSpacing(0);
    QWidget *leftField = strip(identifierStrip, 42, kStripColour);
    leftField->setFixedWidth(128);
    idRow->addWidget(leftField);
    identifier = new QLabel(QStringLiteral("0"), identifierStrip);
    QFont idFont(QStringLiteral("Tahoma"));
    idFont.setPixelSize(37);
    identifier->setFont(idFont);
    identifier->setAlignment(Qt::AlignCenter);
    identifier->setTextInteractionFlags(Qt::TextSelectableByMouse);
    idRow->addWidget(identifier, 1);
    QWidget *infoColumn = strip(identifierStrip, 42, kStripColour);
    infoColumn->setFixedWidth(128);
    auto *infoLayout = new QVBoxLayout(infoColumn);
    infoLayout->setContentsMargins(4, 0, 2, 0);
    infoLayout->setSpacing(0);
    QFont small = font();
    small.setPixelSize(11);
    for (QLabel **l : {&cardType, &cardSecurity, &cardMemory}) {
        *l = new QLabel(infoColumn);
        (*l)->setFont(small);
        setTextColour(*l, kInfoGrey);
        infoLayout->addWidget(*l);
    }
    idRow->addWidget(infoColumn);
    layout->addWidget(identifierStrip);
    setKindColour(0xFFFFFF);

    // Mode strip.
    QWidget *modes = strip(this, 23, kStripColour);
    auto *modeRow = new QHBoxLayout(modes);
    modeRow->setContentsMargins(0, 0, 0, 0);
    modeRow->addStretch(1);
    decChoice = new QRadioButton(QStringLiteral("DEC"), modes);
    decChoice->setToolTip(QStringLiteral("десятичное представление"));
    hexChoice = new QRadioButton(QStringLiteral("HEX"), modes);
    hexChoice->setToolTip(QStringLiteral("шестнадцатеричное представление"));
    cstChoice = new QRadioButton(QStringLiteral("CST"), modes);
    cstChoice->setToolTip(QStringLiteral("пользовательское представление"));
    for (QRadioButton *r : {decChoice, hexChoice, cstChoice}) {
        r->setAccessibleDescription(r->toolTip());
        modeRow->addWidget(r);
    }
    modeRow->addStretch(1);
    decChoice->setChecked(true);
    layout->addWidget(modes);
    connect(decChoice, &QRadioButton::clicked, this, &CardDisplay::chooseDec);
    connect(hexChoice, &QRadioButton::clicked, this, &CardDisplay::chooseHex);
    connect(cstChoice, &QRadioButton::clicked, this, &CardDisplay::chooseCst);

    indicatorTimer.setSingleShot(true);
    indicatorTimer.setInterval(kBlinkMs);
    connect(&indicatorTimer, &QTimer::timeout, this, [this] { indicator->setPixmap(dot(Qt::gray)); });
    cardInfoTimer.setSingleShot(true);
    cardInfoTimer.setInterval(kBlinkMs);
    connect(&cardInfoTimer, &QTimer::timeout, this, [this] {
        for (QLabel *l : {cardType, cardSecurity, cardMemory})
            setTextColour(l, kInfoGrey);
    });
    setFixedHeight(18 + 42 + 23 + 2);
}

void CardDisplay::setKindColour(quint32 rgb)
{
    QPalette pal = identifierStrip->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(QRgb(rgb)));
    identifierStrip->setPalette(pal);
}

void CardDisplay::identifierRead(const QString &raw, IdKind kind)
{
    if (raw.isEmpty())
        return;
    QString id = raw;
    if (displaymode == 1)
        id = decimalOfHex(raw);
    else if (displaymode == 3)
        id = cstuid(raw, csttemplate);

    const std::vector<IdKind> &order = idKindLabelOrder();
    for (size_t i = 0; i < order.size(); ++i)
        setTextColour(kindLabels[i], order[i] == kind ? Qt::black : kSilver);
    indicatorTimer.stop();
    indicator->setPixmap(dot(QColor(0x00, 0xC0, 0x00)));
    indicatorTimer.start();

    setKindColour(idKindInfo(kind).colour);
    identifier->setText(id);
    shownmode = displaymode;

    if (options.typing() && !options.windowActive() && keys && keys->available()) {
        typingQueue.enqueue({id, shownmode});
        typeQueued();
    }
    if (options.clipboard() && clipboard)
        clipboard->setText(id);
}

void CardDisplay::typeQueued()
{
    if (typing)
        return; // the identifier is typed after the one being typed now
    typing = true;
    while (!typingQueue.isEmpty()) {
        const auto [text, mode] = typingQueue.dequeue();
        type(text, mode);
    }
    typing = false;
}

void CardDisplay::type(const QString &text, int mode)
{
    if (mode != 1)
        keys->selectLatinLayout();
    if (mode == 3) {
        for (char32_t c : text.toUcs4()) {
            keys->typeCharacter(c);
            pause(kKeyPauseMs);
        }
    } else {
        for (QChar c : text) {
            keys->pressKey(c, mode == 2 && isLatinLetter(c) && !keys->capsLockOn());
            pause(kKeyPauseMs);
        }
    }
    if (mode != 1)
        keys->restoreLayout();
    if (options.newline())
        keys->pressEnter();
}

void CardDisplay::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void CardDisplay::cardInfoRead(const CardInfo &info)
{
    cardType->setText(info.type);
    cardSecurity->setText(info.security);
    cardMemory->setText(info.memory);
    for (QLabel *l : {cardType, cardSecurity, cardMemory})
        setTextColour(l, kStripColour);
    cardInfoTimer.start();
}

void CardDisplay::chooseDec()
{
    if (firstshow)
        return;
    if (shownmode == 2) {
        identifier->setText(decimalOfHex(identifier->text()));
        shownmode = 1;
    }
    displaymode = 1;
}

void CardDisplay::chooseHex()
{
    if (firstshow)
        return;
    if (shownmode == 1) {
        const QString hex = hexOfDecimal(identifier->text());
        if (!hex.isEmpty())
            identifier->setText(hex);
        shownmode = 2;
    }
    displaymode = 2;
}

void CardDisplay::chooseCst()
{
    if (firstshow || displaymode == 3)
        return;
    QString sample = QStringLiteral("1A2B3C");
    if (shownmode == 2) {
        sample = identifier->text();
    } else if (shownmode == 1) {
        const QString hex = hexOfDecimal(identifier->text());
        if (!hex.isEmpty())
            sample = hex;
    }
    openTemplateEditor(sample);
    if (!csttemplate.isEmpty()) {
        displaymode = 3;
        cstChoice->setChecked(true);
    } else {
        decChoice->setChecked(true);
        displaymode = 1;
    }
}

void CardDisplay::selectView(int mode)
{
    displaymode = mode;
    (mode == 3 ? cstChoice : mode == 2 ? hexChoice : decChoice)->setChecked(true);
}

int CardDisplay::selectedView() const
{
    return cstChoice->isChecked() ? 3 : hexChoice->isChecked() ? 2 : 1;
}

} // namespace limra
