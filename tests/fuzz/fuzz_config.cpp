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
    const ConfigItems items =
        ConfigItems::parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (ReaderKind reader : {ReaderKind::Usb, ReaderKind::Ble}) {
        for (ConfigPlace source : {ConfigPlace::Reader, ConfigPlace::File, ConfigPlace::MasterCards,
                                   ConfigPlace::Default}) {
            EditorModel editor;
            editor.readerKind = [reader] { return reader; };
            editor.startUp();
            const ReaderConfig start = editor.config();
            const DecodeResult decoded = decodeConfig(items, start, editor.decodeContext(source));
            const bool applied = bool(editor.applyConfig(items, source));
            if (applied != bool(decoded))
                std::abort();
            if (!decoded) {
                if (editor.config() != start)
                    std::abort(); // a refused configuration leaves the editor as it was
                continue;
            }
            if (editor.config() != decoded->config || editor.emMarine() != decoded->emMarine)
                std::abort();
            encodeConfig(decoded->config, ConfigPlace::Reader, reader);
            encodeConfig(decoded->config, ConfigPlace::MasterCards, reader);
            const ConfigItems saved = encodeConfig(decoded->config, ConfigPlace::File, reader);
            const DecodeResult again =
                decodeConfig(ConfigItems::parse(saved.toBytes()), start, DecodeContext{ConfigPlace::File, reader, decoded->emMarine});
            if (!again)
                std::abort(); // what the tool wrote, it must read
            if (encodeConfig(again->config, ConfigPlace::File, reader) != saved)
                std::abort();
        }
    }
    return 0;
}
