#pragma once
// User-interface texts that more than one place of the tool shows.
#include <QString>

namespace limra::texts {

inline const QString kAppTitle = QStringLiteral("ЛИМРА Контроль доступа - RFID");
inline const QString kErrorCaption = QStringLiteral("Ошибка");
inline const QString kDone = QStringLiteral("Выполнено");
inline const QString kSearching = QStringLiteral("Поиск устройства...");
inline const QString kTrayRestore = QStringLiteral("Развернуть");
inline const QString kTrayClose = QStringLiteral("Закрыть");
inline const QString kZonesCaption = QStringLiteral("Зоны прохода");
inline const QString kObjectCodeMode = QStringLiteral("Код объекта");
inline const QString kReadConfigButton = QStringLiteral("Считать конфигурацию из USB-считывателя");
inline const QString kConnectionSettings = QStringLiteral("Настройки подключения");

} // namespace limra::texts
