#include "common/ui/elidedlabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace limra {

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

void ElidedLabel::setFullText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateToolTip();
    setAccessibleName(text);
    fit();
}

void ElidedLabel::setToolTipNote(const QString &note)
{
    m_note = note;
    updateToolTip();
}

void ElidedLabel::updateToolTip()
{
    setToolTip(m_note.isEmpty()   ? m_text
               : m_text.isEmpty() ? m_note
                                  : m_text + QLatin1Char('\n') + m_note);
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

// The text at the full size when it fits; else the largest size down to the
// limit at which it fits; else the limit and an ellipsis. The width is
// measured at the full size once and the size that fits estimated from it,
// so that a long text costs two or three measurements, not one per size.
void ElidedLabel::fit()
{
    const int room = std::max(0, contentsRect().width());
    QFont f = font();
    if (m_minimumPixels > 0) {
        if (m_fullPixels == 0)
            m_fullPixels = f.pixelSize();
        f.setPixelSize(m_fullPixels);
    }
    int width = QFontMetrics(f).horizontalAdvance(m_text);
    if (m_minimumPixels > 0 && width > room) {
        int pixels = std::max(m_minimumPixels, int(qint64(m_fullPixels) * room / std::max(width, 1)));
        f.setPixelSize(pixels);
        width = QFontMetrics(f).horizontalAdvance(m_text);
        while (width <= room && pixels < m_fullPixels - 1) { // the estimate may be short by a size
            QFont larger = f;
            larger.setPixelSize(pixels + 1);
            const int w = QFontMetrics(larger).horizontalAdvance(m_text);
            if (w > room)
                break;
            f = larger;
            width = w;
            ++pixels;
        }
        while (width > room && pixels > m_minimumPixels) {
            f.setPixelSize(--pixels);
            width = QFontMetrics(f).horizontalAdvance(m_text);
        }
    }
    if (m_minimumPixels > 0 && f != font())
        setFont(f);
    const QString shown = width <= room ? m_text : QFontMetrics(f).elidedText(m_text, Qt::ElideRight, room);
    if (shown != text())
        setText(shown);
}

} // namespace limra

#include "moc_elidedlabel.cpp"
