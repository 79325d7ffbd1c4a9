#pragma once
// Moving the editor's configuration to and from the reader and files.
#include <QObject>
#include <functional>

namespace limra {

class ConfigEditor;
class ReaderLink;
class TForm3;
class UserDialogs;

class ConfigTransfer : public QObject {
    Q_OBJECT
public:
    ConfigTransfer(ReaderLink &link, ConfigEditor &editor, UserDialogs &dialogs, TForm3 &objectCodeDialog,
                   QObject *parent = nullptr);

    // "Записать конфигурацию в USB-считыватель".
    void writeToReader();
    // "Считать конфигурацию из USB-считывателя"; also run after every connection.
    void readFromReader(bool startedByDiscovery);
    // "Показать конфигурацию по умолчанию".
    void showDefault();
    // "Записать конфигурацию в файл" and "Считать конфигурацию из файла".
    void saveToFile();
    void loadFromFile();

private:
    ReaderLink &link;
    ConfigEditor &editor;
    UserDialogs &dialogs;
    TForm3 &form3;
};

} // namespace limra
