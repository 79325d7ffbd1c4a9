#pragma once
// The status bar: three panels. The first one, the status text, is 350 pixels
// wide or takes the width the window has beyond the other two; the middle one
// (170 pixels) reads as a link, and only a click strictly inside it counts;
// the last one (50 pixels) holds nothing and draws no frame.
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

    // The status text; `details` (when given) become its tooltip and description.
    void setStatusText(const QString &text, const QString &details = QString());
    // Whether a press at `x` is strictly inside the link.
    bool insideLink(int x) const;

    // Whether the link can be used (not while firmware is uploaded); the
    // status text stays as readable as ever.
    void setLinkEnabled(bool enabled);

Q_SIGNALS:
    // A press at `x`, or the link pressed from the keyboard (its centre).
    void clicked(int x);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    ElidedLabel *text;
    QLabel *link;
    QLabel *last;
};

} // namespace limra
