#pragma once
// An LED colour field: its colour as background and the caption "изменить".
#include <QPushButton>

namespace limra {

class LedField : public QPushButton {
    Q_OBJECT
public:
    LedField(const QString &label, QWidget *parent = nullptr);
    void setColour(const QColor &colour, const QColor &caption);
    QColor colour() const { return m_colour; }
    QColor caption() const { return m_caption; }

private:
    QColor m_colour;
    QColor m_caption;
};

} // namespace limra
