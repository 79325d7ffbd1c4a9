#include "common/ui/elidedlabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace limra {

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

void ElidedLabel::setFullText(const QString &text)
{
    m_text = text;
    setToolTip(text);
    setAccessibleDescription(text);
    fit();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_minimumPixels == 0)
        fit();
}

void ElidedLabel::fit()
{
    const int room = std::max(0, contentsRect().width());
    if (m_minimumPixels > 0) {
        QFont f = font();
        if (m_fullPixels == 0)
            m_fullPixels = f.pixelSize();
        int pixels = m_fullPixels;
        f.setPixelSize(pixels);
        while (pixels > m_minimumPixels && QFontMetrics(f).horizontalAdvance(m_text) > room)
            f.setPixelSize(--pixels);
        if (f != font())
            setFont(f);
    }
    const QString shown = QFontMetrics(font()).elidedText(m_text, Qt::ElideRight, room);
    if (shown != text())
        setText(shown);
}

} // namespace limra
