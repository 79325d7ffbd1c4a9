#pragma once
// Number fields changed only with their arrows or arrow keys, one step at a
// time, never by typing; the mouse wheel turns them only while they have the
// focus. A selector that the wheel does not change in passing.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <QWheelEvent>

namespace limra {

template <class Base>
class FocusWheel : public Base {
public:
    explicit FocusWheel(QWidget *parent = nullptr) : Base(parent) { this->setFocusPolicy(Qt::StrongFocus); }

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        if (this->hasFocus())
            Base::wheelEvent(event);
        else
            event->ignore(); // the scroll area behind scrolls instead
    }
};

class ArrowSpinBox : public FocusWheel<QSpinBox> {
public:
    explicit ArrowSpinBox(QWidget *parent = nullptr) : FocusWheel(parent) { lineEdit()->setReadOnly(true); }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)
            event->ignore(); // one step at a time
        else
            QSpinBox::keyPressEvent(event);
    }
};

// Its page step (PageUp, PageDown) is a whole unit.
class ArrowDoubleSpinBox : public FocusWheel<QDoubleSpinBox> {
public:
    explicit ArrowDoubleSpinBox(QWidget *parent = nullptr) : FocusWheel(parent) { lineEdit()->setReadOnly(true); }
};

using SelectorBox = FocusWheel<QComboBox>;

} // namespace limra
