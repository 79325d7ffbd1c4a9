// Zone-name files of any content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/zonenames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList names = limra::zoneNamesFromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (names.size() > 64)
        std::abort();
    return 0;
}
