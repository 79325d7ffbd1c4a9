// Configuration items of any shape, decoded from every source on both reader
// kinds over the editor's start configuration: the editor applying them holds
// exactly what the decoder gives (or stays as it was when a value is
// refused); every producer encodes the result; what is saved to a file
// decodes again into the same items.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/codec.h"
#include "config/editormodel.h"

using namespace limra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString items = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const ConfigTable table = parseConfig(items);
    for (ReaderKind reader : {ReaderKind::Usb, ReaderKind::Ble}) {
        for (ConfigSource source : {ConfigSource::Reader, ConfigSource::File, ConfigSource::MasterCard,
                                    ConfigSource::Default}) {
            EditorModel editor;
            editor.readerKind = [reader] { return reader; };
            editor.startUp();
            const ReaderConfig start = editor.config();
            const DecodeResult decoded = decodeConfig(items, start, editor.decodeContext(source));
            const bool applied = bool(editor.applyConfig(table, source));
            if (applied != bool(decoded))
                std::abort();
            if (!decoded) {
                if (editor.config() != start)
                    std::abort(); // a refused configuration leaves the editor as it was
                continue;
            }
            if (editor.config() != decoded->config || editor.emMarine() != decoded->emMarine)
                std::abort();
            encodeConfig(decoded->config, Producer::Reader, reader);
            encodeConfig(decoded->config, Producer::MasterCards, reader);
            const QString saved = encodeConfig(decoded->config, Producer::File, reader);
            const DecodeResult again =
                decodeConfig(saved, start, DecodeContext{ConfigSource::File, reader, decoded->emMarine});
            if (!again)
                std::abort(); // what the tool wrote, it must read
            if (encodeConfig(again->config, Producer::File, reader) != saved)
                std::abort();
        }
    }
    return 0;
}
