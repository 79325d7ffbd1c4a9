#pragma once
// The status bar: three panels of 350, 170 and 50 pixels. The middle one reads
// as a link; only a click strictly between x = 350 and x = 520 counts.
#include <QLabel>
#include <QWidget>
#include <functional>

#include "common/ui/elidedlabel.h"

namespace limra {

class StatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFirstWidth = 350;
    static constexpr int kMiddleWidth = 170;
    static constexpr int kLastWidth = 50;

    explicit StatusBar(QWidget *parent = nullptr);
    ElidedLabel *text;
    QLabel *link;
    QLabel *last;

Q_SIGNALS:
    void clicked(int x);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace limra
