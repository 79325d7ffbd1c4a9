#include "config/ui/ledfield.h"

#include "config/readerconfig.h"

namespace limra {

LedField::LedField(const QString &label, QWidget *parent) : QPushButton(QStringLiteral("изменить"), parent)
{
    setAccessibleName(label);
    setFlat(true);
    setAutoFillBackground(true);
    setFixedSize(120, 24);
}

void LedField::setColour(const QColor &colour, const QColor &caption)
{
    m_colour = colour;
    m_caption = caption;
    // With the focus, a frame in the caption's colour, which stands out from the field's.
    setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid #808080; }"
                                 "QPushButton:focus { border: 2px dashed %2; outline: none; }")
                      .arg(colour.name(), caption.name()));
}

} // namespace limra

#include "moc_ledfield.cpp"
