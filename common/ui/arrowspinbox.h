#pragma once
// A number field changed only with its arrows or arrow keys, never by typing.
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

namespace limra {

class ArrowSpinBox : public QSpinBox {
public:
    explicit ArrowSpinBox(QWidget *parent = nullptr) : QSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

class ArrowDoubleSpinBox : public QDoubleSpinBox {
public:
    explicit ArrowDoubleSpinBox(QWidget *parent = nullptr) : QDoubleSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

} // namespace limra
