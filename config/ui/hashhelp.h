#pragma once
#include <QDialog>

namespace limra {

// "Опция “Хеш-функция” для считывателей": what the hash option is for.
class HashHelp : public QDialog {
    Q_OBJECT
public:
    explicit HashHelp(QWidget *parent = nullptr);
};

} // namespace limra
