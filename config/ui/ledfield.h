#pragma once
// An LED colour field: its colour as background and the caption "изменить".
#include <QPushButton>

namespace limra {

class LedField : public QPushButton {
    Q_OBJECT
public:
    LedField(const QString &label, QWidget *parent = nullptr);
    void setColour(const QColor &colour);
    QColor colour() const { return current; }

private:
    QColor current;
};

} // namespace limra
