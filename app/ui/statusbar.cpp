#include "app/ui/statusbar.h"

#include <QHBoxLayout>
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
    // The three panels have fixed widths: the layout places each after the
    // one before, whatever the label's own wish to shrink.
    text->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    text->setFixedWidth(kFirstWidth);
    link = new QLabel(kLinkText, this);
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
    last->setFixedWidth(kLastWidth);
    for (QLabel *l : {static_cast<QLabel *>(text), link, last})
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    layout->addWidget(text);
    layout->addWidget(link);
    layout->addWidget(last);
    layout->addStretch(1);
    setFixedHeight(22);
    // The link can be reached and opened from the keyboard too.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(kLinkText);
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
        Q_EMIT clicked(kFirstWidth + kMiddleWidth / 2);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace limra

#include "moc_statusbar.cpp"
