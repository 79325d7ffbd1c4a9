#pragma once
// The keyboard focus clearly visible: the style's focus frame is a 2-pixel
// line in the highlight colour, drawn from the moment a control has the
// focus, also the first control of a dialog that opened with it (the style
// by itself draws it only after Tab was pressed, and as a faint 1-pixel line).
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace limra {

class FocusStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(option->palette.color(QPalette::Active, QPalette::Highlight), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        // Buttons, check boxes and radio buttons draw their focus frame
        // whether or not the focus came by the keyboard.
        if (const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
            button && (button->state & State_HasFocus)) {
            QStyleOptionButton focused = *button;
            focused.state |= State_KeyboardFocusChange;
            QProxyStyle::drawControl(element, &focused, painter, widget);
            // A push button's focus is only a tint of its outline: the frame goes inside it.
            if (element == CE_PushButton) {
                QStyleOptionFocusRect frame;
                frame.QStyleOption::operator=(focused);
                frame.rect = button->rect.adjusted(2, 2, -2, -2);
                drawPrimitive(PE_FrameFocusRect, &frame, painter, widget);
            }
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

} // namespace limra
