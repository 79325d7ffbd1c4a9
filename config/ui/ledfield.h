#pragma once
// An LED colour field: its colour as background and the caption "изменить";
// a screen reader hears its label and its colour.
#include <QPushButton>

namespace limra {

// A colour's name as a screen reader says it: the nearest of the colours an
// LED shows, then its code ("красный (#FF0000)").
QString colourName(const QColor &colour);

class LedField : public QPushButton {
    Q_OBJECT
public:
    LedField(const QString &label, QWidget *parent = nullptr);
    void setColour(const QColor &colour, const QColor &caption);
    QColor colour() const { return m_colour; }
    QColor caption() const { return m_caption; }

private:
    QString m_label;
    QColor m_colour;
    QColor m_caption;
};

} // namespace limra
