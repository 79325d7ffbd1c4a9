#pragma once
// One logging category per subsystem, quiet by default (warnings only).
// Enable with QT_LOGGING_RULES, for example "limra.link.debug=true".
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcPort)
Q_DECLARE_LOGGING_CATEGORY(lcDiscovery)
Q_DECLARE_LOGGING_CATEGORY(lcSim)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcFirmware)
