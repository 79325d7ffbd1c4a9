// User templates and identifiers of any shape: the identifier is the text
// before the first byte 0, the template the rest.
#include <cstddef>
#include <cstdint>

#include "display/idtemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = bytes.indexOf('\0');
    const QString uid = QString::fromLatin1(split < 0 ? QByteArray() : bytes.left(split));
    const QString tmpl = QString::fromUtf8(split < 0 ? bytes : bytes.mid(split + 1));
    limra::renderTemplate(uid, tmpl);
    limra::templateNibbles(uid);
    limra::hexOfDecimal(limra::decimalOfHex(uid));
    return 0;
}
