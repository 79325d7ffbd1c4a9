// Bytes from the reader in arbitrary pieces, through the message assembler
// and the receive dispatcher. The first byte of each piece gives its length.
#include <cstddef>
#include <cstdint>

#include "link/messageassembler.h"
#include "link/readerlink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static limra::ReaderLink link;
    limra::MessageAssembler assembler;
    size_t at = 0;
    while (at < size) {
        const size_t piece = std::min<size_t>(size - at, size_t(data[at] % 64) + 1);
        const QByteArray bytes(reinterpret_cast<const char *>(data + at), qsizetype(piece));
        for (const QByteArray &message : assembler.take(bytes))
            link.dispatch(message);
        at += piece;
    }
    link.dispatch(assembler.flush());
    return 0;
}
