// Firmware images of any content, for the simulated reader's identity.
#include <cstddef>
#include <cstdint>

#include "firmware/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    limra::findSection(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), QStringLiteral("02A11701"));
    return 0;
}
