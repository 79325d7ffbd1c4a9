#include "common/logging.h"

Q_LOGGING_CATEGORY(lcLink, "limra.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPort, "limra.port", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDiscovery, "limra.discovery", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSim, "limra.sim", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "limra.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFirmware, "limra.firmware", QtWarningMsg)
