#include "sim/readermode.h"

namespace limra::sim {

QString modeName(ReaderMode mode)
{
    switch (mode) {
    case ReaderMode::Reading: return QStringLiteral("card reading");
    case ReaderMode::CreateMasters: return QStringLiteral("writing master cards");
    case ReaderMode::ClearMasters: return QStringLiteral("clearing master cards");
    case ReaderMode::CreateSecure: return QStringLiteral("creating secure cards");
    case ReaderMode::ClearSecure: return QStringLiteral("clearing secure cards");
    case ReaderMode::ReadMaster: return QStringLiteral("reading a master card");
    case ReaderMode::TakeOverMaster: return QStringLiteral("taking over a master card");
    case ReaderMode::ClearAllSecure: return QStringLiteral("clearing all secure cards");
    case ReaderMode::ObjectCode: return QStringLiteral("waiting for the object-code master card");
    case ReaderMode::Loader: return QStringLiteral("firmware loader");
    }
    return QString();
}

} // namespace limra::sim
