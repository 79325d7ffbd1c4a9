#pragma once
// User-interface texts that more than one place of the tool shows.
#include <QString>
#include <QStringList>

namespace limra::texts {

inline const QString kAppTitle = QStringLiteral("ЛИМРА Контроль доступа - RFID");
inline const QString kErrorCaption = QStringLiteral("Ошибка");
inline const QString kErrorPrefix = QStringLiteral("Ошибка: ");
inline const QString kDone = QStringLiteral("Выполнено");
inline const QString kSearching = QStringLiteral("Поиск устройства...");
inline const QString kConnectedUsb = QStringLiteral("Устройство подключено ");
inline const QString kConnectedBle = QStringLiteral("Устройство BLE подключено ");
inline const QString kTrayRestore = QStringLiteral("Развернуть");
inline const QString kTrayClose = QStringLiteral("Закрыть");
inline const QString kZonesCaption = QStringLiteral("Зоны прохода");
inline const QString kObjectCodeMode = QStringLiteral("Код объекта");
inline const QString kConnectionSettings = QStringLiteral("Настройки подключения");
inline const QString kConfigurationCaption = QStringLiteral("Конфигурация");
inline const QString kTimeLeft = QStringLiteral("Времени осталось:");
inline const QString kClearedCards = QStringLiteral("Очищено карт:");
inline const QString kObjectCodeWaitCaption = QStringLiteral("Чтение кода объекта");
inline const QString kObjectCodeWaitPrompt = QStringLiteral("Поднесите мастер-карту с кодом объекта к USB-считывателю");
inline const QString kObjectChecksum = QStringLiteral("Контрольная сумма кода объекта");
inline const QString kKeyChecksum = QStringLiteral("Контрольная сумма кода доступа к блоку");
inline const QString kReadConfigButton = QStringLiteral("Считать конфигурацию из USB-считывателя");
inline const QString kBrowse = QStringLiteral("Обзор...");
inline const QString kApply = QStringLiteral("Применить");
inline const QString kClear = QStringLiteral("Очистить");
inline const QString kDebugCaption = QStringLiteral("Отладка");
inline const QString kSecureCardsCaption = QStringLiteral("Защищенные карты");
inline const QString kFirmwareCaption = QStringLiteral("Обновление микропрограммы");
inline const QString kPresentCardsPrompt = QStringLiteral("По очереди подносите карты к USB-считывателю");
inline const QString kConfigurationNotRead = QStringLiteral("Не удалось считать конфигурацию.");
// A file that cannot be opened or written: its path, then the system's reason.
inline const QString kCannotOpenFile = QStringLiteral("Не удалось открыть файл %1: %2");
inline const QString kCannotWriteFile = QStringLiteral("Не удалось записать файл %1: %2");
inline const QString kCardLogCaption = QStringLiteral("Журнал карт");
inline const QString kKeptConfigurationsCaption = QStringLiteral("Сохранённые конфигурации");
// The card read modes and Wiegand types, in the order of their item values.
inline const QStringList kReadModes = {QStringLiteral("Обычный режим чтения только UID"),
                                       QStringLiteral("Защищенный режим: код объекта"),
                                       QStringLiteral("Защищенный режим: чтение кода из блока"),
                                       QStringLiteral("Защищенный режим: зоны прохода")};
inline const QStringList kWiegandTypes = {QStringLiteral("Wiegand c контрольной суммой CRC"),
                                          QStringLiteral("Wiegand без контрольной суммы CRC")};
// The editor's labels, also the items limra-cli names.
inline const QString kWiegandTypeLabel = QStringLiteral("Тип итерфейса Wiegand :");
inline const QString kWiegandWidthLabel = QStringLiteral("Разрядность интерфейса Wiegand:");
inline const QStringList kWidthModes = {QStringLiteral("автоопределение"), QStringLiteral("пользовательская")};
inline const QString kFormatsCaption = QStringLiteral("Формат считываемых карт");
inline const QString kReversedOrder = QStringLiteral("Обратный порядок байт");
inline const QString kHashOption = QStringLiteral("Хеш-функция");
inline const QString kBitShiftLabel = QStringLiteral("Битовый сдвиг вправо:");
inline const QString kSignificantBitsLabel = QStringLiteral("Число значимых бит после сдвига:");
inline const QString kBlockNumberLabel = QStringLiteral("Номер блока:");
inline const QString kBlockOffsetLabel = QStringLiteral("Смещение в блоке:");
inline const QString kBlockBytesLabel = QStringLiteral("Количество байт для передачи:");
inline const QString kBlockKeyLabel = QStringLiteral("Код доступа к требуемому блоку (16 байт):");
inline const QString kBankKeyLabel = QStringLiteral("Ключ шифрования номеров банковских карт (16 байт):");
inline const QString kBankKeyDefault = QStringLiteral("По умолчанию");
inline const QString kBankKeyUser = QStringLiteral("Пользовательский");
inline const QString kBleNameLabel = QStringLiteral("Имя считывателя BLE:");
inline const QString kPulseLabel = QStringLiteral("Длительность управляющего импульса (секунд) :");
// The LED colours in the order of the configuration: idle, LEDG, LEDR, LEDR + LEDG.
inline const QStringList kLedLabels = {QStringLiteral("Цвет светодиодов в режиме ожидания:"),
                                       QStringLiteral("Цвет светодиодов при подаче сигнала LEDG:"),
                                       QStringLiteral("Цвет светодиодов при подаче сигнала LEDR:"),
                                       QStringLiteral("Цвет светодиодов при подаче сигналов LEDR + LEDG:")};
// Times in the tool's lists and in the card log file.
inline const QString kTimeColumn = QStringLiteral("Время");
inline const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace limra::texts
