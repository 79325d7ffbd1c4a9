#pragma once
#include <QAbstractButton>
#include <QDialog>

namespace limra {

// "Опция “Хеш-функция” для считывателей": what the hash option is for.
class HashHelp : public QDialog {
    Q_OBJECT
public:
    explicit HashHelp(QWidget *parent = nullptr);
};

// A link that opens a help window: underlined text in the link colour, grey
// while disabled; one Tab stop with a focus mark; a click, Space or Enter
// activates it.
class HelpLink : public QAbstractButton {
    Q_OBJECT
public:
    explicit HelpLink(const QString &text, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace limra
