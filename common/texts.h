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
inline const QString kWriteConfigButton = QStringLiteral("Записать конфигурацию в USB-считыватель");
inline const QString kBrowse = QStringLiteral("Обзор...");
inline const QString kApply = QStringLiteral("Применить");
inline const QString kClear = QStringLiteral("Очистить");
inline const QString kCancel = QStringLiteral("Отмена");
inline const QString kDebugCaption = QStringLiteral("Отладка");
inline const QString kSecureCardsCaption = QStringLiteral("Защищенные карты");
inline const QString kFirmwareCaption = QStringLiteral("Обновление микропрограммы");
inline const QString kFirmwareVersionLabel = QStringLiteral("Версия микропрограммы: ");
inline const QString kPresentCardsPrompt = QStringLiteral("По очереди подносите карты к USB-считывателю");
// The editor holds what neither the reader nor a file has.
inline const QString kUnsavedConfiguration =
    QStringLiteral("Конфигурация в редакторе изменена и не записана ни в USB-считыватель, ни в файл.");
inline const QString kConfigurationNotRead = QStringLiteral("Не удалось считать конфигурацию.");
// A configuration without an item every configuration carries (from the
// reader, a file or a master card): it is not taken.
inline const QString kConfigurationIncomplete =
    QStringLiteral("Конфигурация неполная: в ней нет параметров, без которых считыватель не работает. "
                   "Она не принята.");
// A file that cannot be opened or written: its path, then the system's reason.
inline const QString kCannotOpenFile = QStringLiteral("Не удалось открыть файл %1: %2");
inline const QString kCannotWriteFile = QStringLiteral("Не удалось записать файл %1: %2");
inline const QString kCardLogCaption = QStringLiteral("Журнал карт");
inline const QString kCardLogShortcut = QStringLiteral("Ctrl+L");
// The identifier's tooltip: how the card log opens.
inline const QString kCardLogHint =
    QStringLiteral("Журнал карт: двойной щелчок, контекстное меню или ") + kCardLogShortcut;
inline const QString kClearCardLogQuestion =
    QStringLiteral("Все записи журнала карт будут удалены. Очистить журнал?");
inline const QString kKeptConfigurationsCaption = QStringLiteral("Сохранённые конфигурации");
// "Восстановить" in the kept configurations: the editor has it, the reader not yet.
inline const QString kKeptRestored =
    QStringLiteral("Сохранённая конфигурация показана в редакторе. В USB-считыватель она не записана: чтобы "
                   "записать её, нажмите «")
    + kWriteConfigButton + QStringLiteral("».");
// Typing into other programs in a Wayland session, through the desktop's
// remote-desktop portal: what reaches what, and the desktop's refusal.
inline const QString kTypingThroughPortal = QStringLiteral(
    "В сеансе Wayland набор идёт через портал рабочего стола и доходит до всех программ. "
    "При первом наборе рабочий стол спрашивает разрешение.");
inline const QString kTypingWithoutPortal = QStringLiteral("Рабочий стол не предоставляет портал для набора.");
inline const QString kTypingRefused = QStringLiteral("Рабочий стол не разрешил имитацию набора ID карты на клавиатуре.");
inline const QString kTypingRequestCancelled =
    QStringLiteral("Запрос разрешения на имитацию набора ID карты на клавиатуре отменён.");
inline const QString kTypingAskAgain = QStringLiteral("Чтобы спросить разрешение снова, включите параметр.");
// %1: the clipboard option.
inline const QString kTypingSwitchedOff = QStringLiteral(
    "Имитация набора выключена. ID карты остаётся в окне программы, а с параметром «%1» и в буфере обмена.");
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
