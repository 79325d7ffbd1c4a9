#include "display/ui/carddisplay.h"

#include "common/texts.h"
#include "common/timings.h"
#include "common/ui/elidedlabel.h"
#include "display/idkinds.h"
#include "link/hextext.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>


namespace limra {

namespace {
// A long identifier first gets smaller type, down to this size, then an ellipsis.
constexpr int kSmallestIdentifierPx = 18;
// The plain field at the left and the card description at the right are this
// wide, or as wide as the longest card type needs.
constexpr int kSideWidth = 128;
constexpr int kInfoLeftMargin = 4;
constexpr int kInfoRightMargin = 2;
const QColor kStripColour(0xE9, 0xE9, 0xE9);
const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kInfoGrey(0x80, 0x80, 0x80);
const QColor kLitGreen(0x00, 0xC0, 0x00);

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

// The width of the longest card type the reader can report (types are
// numbered from 1 without gaps), so that none is cut.
int widestCardType(const QFontMetrics &metrics)
{
    int widest = 0;
    for (int type = 1; type < 256; ++type) {
        const QString name = cardTypeName(type);
        if (name.isEmpty())
            break;
        widest = std::max(widest, metrics.horizontalAdvance(name));
    }
    return widest;
}

// A place in a layout for a label whose text changes with every card: the
// label takes the place's size as its fixed size, so that a new text only
// repaints it (a label of free size would have its parent laid out again).
class FixedPlace : public QWidget {
public:
    explicit FixedPlace(QWidget *parent) : QWidget(parent) {}
    template <class Label> Label *hold(Label *label)
    {
        label->setParent(this);
        m_held = label;
        return label;
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        if (m_held)
            m_held->setFixedSize(size());
    }

private:
    QWidget *m_held = nullptr;
};
} // namespace

CardDisplay::CardDisplay(CardPresenter &presenter, QWidget *parent)
    : QFrame(parent), m_presenter(presenter), m_idleDot(dot(Qt::gray)), m_litDot(dot(kLitGreen))
{
    m_clock.start();
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
    indicator->setObjectName(QStringLiteral("readIndicator"));
    indicator->setPixmap(m_idleDot);
    indicator->setAccessibleName(QStringLiteral("Индикатор чтения карты"));
    kindRow->addWidget(indicator);
    kindRow->addStretch(1);
    QFont kindFont(QStringLiteral("Tahoma"));
    kindFont.setPixelSize(13);
    const std::vector<IdKind> &order = idKindLabelOrder();
    for (size_t i = 0; i < order.size(); ++i) {
        auto *l = new QLabel(QString::fromLatin1(idKindLook(order[i]).label), kinds);
        l->setFont(kindFont);
        setTextColour(l, kSilver);
        l->setObjectName(QStringLiteral("kindLabel") + l->text().remove(QLatin1Char(' ')));
        kindLabels[i] = l;
        kindRow->addWidget(l);
        kindRow->addSpacing(12);
    }
    kindRow->addStretch(1);
    layout->addWidget(kinds);

    // Identifier strip.
    m_identifierStrip = strip(this, 42, Qt::white);
    auto *idRow = new QHBoxLayout(m_identifierStrip);
    idRow->setContentsMargins(0, 0, 0, 0);
    idRow->setSpacing(0);
    QFont small = font();
    small.setPixelSize(11);
    const int sideWidth =
        std::max(kSideWidth, kInfoLeftMargin + widestCardType(QFontMetrics(small)) + kInfoRightMargin);
    QWidget *leftField = strip(m_identifierStrip, 42, kStripColour);
    leftField->setFixedWidth(sideWidth);
    idRow->addWidget(leftField);
    auto *identifierPlace = new FixedPlace(m_identifierStrip);
    identifier = identifierPlace->hold(new ElidedLabel);
    identifier->setObjectName(QStringLiteral("identifier"));
    QFont idFont(QStringLiteral("Tahoma"));
    idFont.setPixelSize(37);
    identifier->setFont(idFont);
    identifier->setMinimumPixelSize(kSmallestIdentifierPx);
    identifier->setFullText(QStringLiteral("0"));
    identifier->setToolTipNote(texts::kCardLogHint);
    // The card log from the keyboard and from a menu, not by a double-click alone.
    cardLogAction = new QAction(texts::kCardLogCaption, this);
    cardLogAction->setObjectName(QStringLiteral("cardLogAction"));
    cardLogAction->setShortcut(QKeySequence(texts::kCardLogShortcut));
    cardLogAction->setShortcutContext(Qt::WindowShortcut);
    addAction(cardLogAction);
    connect(cardLogAction, &QAction::triggered, this, &CardDisplay::cardLogRequested);
    identifierMenu = new QMenu(this);
    identifierMenu->setObjectName(QStringLiteral("identifierMenu"));
    identifierMenu->addAction(cardLogAction);
    identifier->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(identifier, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { identifierMenu->popup(identifier->mapToGlobal(at)); });
    identifier->installEventFilter(this);
    m_identifierStrip->installEventFilter(this);
    identifier->setAlignment(Qt::AlignCenter);
    setIdentifierSelectable(false);
    // A screen reader hears the identifier by its value, labelled by this caption.
    identifierCaption = new QLabel(QStringLiteral("ID карты"), identifierPlace);
    identifierCaption->setObjectName(QStringLiteral("identifierCaption"));
    identifierCaption->setBuddy(identifier);
    identifierCaption->hide();
    idRow->addWidget(identifierPlace, 1);
    QWidget *infoColumn = strip(m_identifierStrip, 42, kStripColour);
    infoColumn->setFixedWidth(sideWidth);
    auto *infoLayout = new QVBoxLayout(infoColumn);
    infoLayout->setContentsMargins(kInfoLeftMargin, 0, kInfoRightMargin, 0);
    infoLayout->setSpacing(0);
    for (auto [l, name] : {std::pair{&cardType, "cardType"}, std::pair{&cardSecurity, "cardSecurity"},
                           std::pair{&cardMemory, "cardMemory"}}) {
        auto *place = new FixedPlace(infoColumn);
        *l = place->hold(new ElidedLabel);
        (*l)->setObjectName(QLatin1String(name));
        (*l)->setFont(small);
        setTextColour(*l, kInfoGrey);
        infoLayout->addWidget(place);
    }
    idRow->addWidget(infoColumn);
    layout->addWidget(m_identifierStrip);
    setKindColour(0xFFFFFF);

    // Mode strip.
    QWidget *modes = strip(this, 23, kStripColour);
    auto *modeRow = new QHBoxLayout(modes);
    modeRow->setContentsMargins(0, 0, 0, 0);
    modeRow->addStretch(1);
    decChoice = new QRadioButton(QStringLiteral("DEC"), modes);
    decChoice->setObjectName(QStringLiteral("decChoice"));
    decChoice->setToolTip(QStringLiteral("десятичное представление"));
    hexChoice = new QRadioButton(QStringLiteral("HEX"), modes);
    hexChoice->setObjectName(QStringLiteral("hexChoice"));
    hexChoice->setToolTip(QStringLiteral("шестнадцатеричное представление"));
    templateChoice = new QRadioButton(QStringLiteral("CST"), modes);
    templateChoice->setObjectName(QStringLiteral("templateChoice"));
    templateChoice->setToolTip(QStringLiteral("пользовательское представление"));
    for (QRadioButton *r : {decChoice, hexChoice, templateChoice}) {
        r->setAccessibleDescription(r->toolTip());
        modeRow->addWidget(r);
    }
    modeRow->addStretch(1);
    decChoice->setChecked(true);
    layout->addWidget(modes);
    connect(decChoice, &QRadioButton::clicked, &m_presenter, &CardPresenter::chooseDec);
    connect(hexChoice, &QRadioButton::clicked, &m_presenter, &CardPresenter::chooseHex);
    connect(templateChoice, &QRadioButton::clicked, &m_presenter, &CardPresenter::chooseTemplate);
    connect(&m_presenter, &CardPresenter::identifierShown, this, &CardDisplay::identifierShown);
    connect(&m_presenter, &CardPresenter::shownTextChanged, identifier, &ElidedLabel::setFullText);
    connect(&m_presenter, &CardPresenter::cardInfoShown, this, &CardDisplay::cardInfoShown);
    connect(&m_presenter, &CardPresenter::viewChanged, this, &CardDisplay::showView);

    m_indicatorTimer.setSingleShot(true);
    connect(&m_indicatorTimer, &QTimer::timeout, this,
            [this] { runOut(m_indicatorTimer, m_indicatorUntil, &CardDisplay::indicatorOff); });
    m_cardInfoTimer.setSingleShot(true);
    connect(&m_cardInfoTimer, &QTimer::timeout, this,
            [this] { runOut(m_cardInfoTimer, m_cardInfoUntil, &CardDisplay::cardInfoShownAgain); });
    // The three strips, the layout's margins and the frame around them.
    setFixedHeight(18 + 42 + 23 + 2 + 2 * frameWidth());
}

void CardDisplay::setKindColour(quint32 rgb)
{
    QPalette pal = m_identifierStrip->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(QRgb(rgb)));
    m_identifierStrip->setPalette(pal);
}

bool CardDisplay::extend(QTimer &timer, qint64 &until)
{
    until = m_clock.elapsed() + Timings().cardBlink;
    if (timer.isActive())
        return false;
    timer.start(Timings().cardBlink);
    return true;
}

void CardDisplay::runOut(QTimer &timer, const qint64 &until, void (CardDisplay::*end)())
{
    const qint64 left = until - m_clock.elapsed();
    if (left > 0)
        timer.start(int(left));
    else
        (this->*end)();
}

void CardDisplay::indicatorOff()
{
    indicator->setPixmap(m_idleDot);
}

void CardDisplay::identifierShown(const QString &text, IdKind kind)
{
    if (kind != m_kind) {
        const std::vector<IdKind> &order = idKindLabelOrder();
        for (size_t i = 0; i < order.size(); ++i) {
            if (order[i] == kind)
                setTextColour(kindLabels[i], Qt::black);
            else if (order[i] == m_kind)
                setTextColour(kindLabels[i], kSilver);
        }
        setKindColour(idKindLook(kind).colour);
        // The highlighted kind is heard with the identifier, not only seen.
        identifier->setAccessibleDescription(QString::fromLatin1(idKindLook(kind).label));
        m_kind = kind;
    }
    if (extend(m_indicatorTimer, m_indicatorUntil))
        indicator->setPixmap(m_litDot);
    if (text != identifier->fullText())
        setIdentifierSelectable(false);
    identifier->setFullText(text);
}

// The identifier can be selected with the mouse and copied. A label that can
// be selected or focused lays its text out as a whole document on every
// paint, so the identifier becomes selectable (and takes the focus, for
// Ctrl+C) at a press on it, and plain again when the next card shows another
// identifier, which would end a selection anyway.
void CardDisplay::setIdentifierSelectable(bool on)
{
    const Qt::TextInteractionFlags flags = on ? Qt::TextSelectableByMouse : Qt::NoTextInteraction;
    if (identifier->textInteractionFlags() == flags)
        return;
    identifier->setTextInteractionFlags(flags);
    if (on)
        identifier->setFocus(Qt::MouseFocusReason);
}

void CardDisplay::showCardInfo(bool shown)
{
    for (ElidedLabel *l : {cardType, cardSecurity, cardMemory})
        setTextColour(l, shown ? kInfoGrey : kStripColour);
}

void CardDisplay::cardInfoShown(const CardInfo &info)
{
    cardType->setFullText(info.type);
    cardSecurity->setFullText(info.security);
    cardMemory->setFullText(info.memory);
    if (extend(m_cardInfoTimer, m_cardInfoUntil))
        showCardInfo(false); // hidden for a moment: the description blinks
}

void CardDisplay::cardInfoShownAgain()
{
    showCardInfo(true);
}

void CardDisplay::showView(CardPresenter::View view)
{
    (view == CardPresenter::View::Template ? templateChoice
     : view == CardPresenter::View::Hex    ? hexChoice
                                           : decChoice)
        ->setChecked(true);
}

bool CardDisplay::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == identifier)
        setIdentifierSelectable(true);
    if (event->type() == QEvent::MouseButtonDblClick) {
        Q_EMIT cardLogRequested();
        if (watched == identifier)
            return true; // it opens the log; it does not select a word of the identifier
    }
    return QFrame::eventFilter(watched, event);
}

CardPresenter::View CardDisplay::chosenView() const
{
    return templateChoice->isChecked() ? CardPresenter::View::Template
           : hexChoice->isChecked()    ? CardPresenter::View::Hex
                                       : CardPresenter::View::Dec;
}

} // namespace limra

#include "moc_carddisplay.cpp"
