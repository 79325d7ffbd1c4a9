#include "app/ui/statusbar.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QKeyEvent>
#include <QMouseEvent>

#include "common/texts.h"

namespace limra {

namespace {
const QString kLinkText = QStringLiteral("настройки подключения");
} // namespace

StatusBar::StatusBar(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    text = new ElidedLabel(this);
    text->setObjectName(QStringLiteral("statusText"));
    // The text takes what the window has to spare, never less than its 350
    // pixels: the link and the last panel keep their places after it.
    text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    text->setMinimumWidth(kFirstWidth);
    link = new QLabel(kLinkText, this);
    link->setObjectName(QStringLiteral("connectionLink"));
    link->setFixedWidth(kMiddleWidth);
    link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont f = link->font();
    f.setUnderline(true);
    link->setFont(f);
    QPalette pal = link->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    link->setPalette(pal);
    link->setCursor(Qt::PointingHandCursor);
    link->setAccessibleDescription(texts::kConnectionSettings);
    last = new QLabel(this);
    last->setObjectName(QStringLiteral("lastPanel"));
    last->setFixedWidth(kLastWidth);
    for (QLabel *l : {static_cast<QLabel *>(text), link})
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    layout->addWidget(text, 1);
    layout->addWidget(link);
    layout->addWidget(last);
    // 22 pixels, or what the link's text needs in a larger font.
    setFixedHeight(std::max(22, link->minimumSizeHint().height()));
    // The link can be reached and opened from the keyboard too.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(kLinkText);
}

void StatusBar::setStatusText(const QString &statusText, const QString &details)
{
    text->setFullText(statusText); // a long port name may not fit the panel
    if (!details.isEmpty()) {
        text->setToolTip(details);
        text->setAccessibleDescription(details);
    }
}

bool StatusBar::insideLink(int x) const
{
    const QRect area = link->geometry();
    return x > area.left() && x < area.left() + area.width();
}

void StatusBar::setLinkEnabled(bool enabled)
{
    link->setEnabled(enabled);
    setFocusPolicy(enabled ? Qt::TabFocus : Qt::NoFocus);
}

void StatusBar::mousePressEvent(QMouseEvent *event)
{
    const int x = int(event->position().x());
    Q_EMIT clicked(x);
}

// The link shows a focus frame while the keyboard is on it.
void StatusBar::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    link->setFrameStyle(QFrame::Box | QFrame::Plain);
}

void StatusBar::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    link->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void StatusBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        Q_EMIT clicked(link->geometry().center().x());
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace limra

#include "moc_statusbar.cpp"
