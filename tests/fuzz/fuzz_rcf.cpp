// Configuration files of any content.
#include <cstddef>
#include <cstdint>

#include "config/configfile.h"
#include "config/editormodel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto items = limra::checkConfigFile(bytes)) {
        limra::EditorModel model;
        model.startUp();
        model.applyConfig(*items, limra::ConfigPlace::File);
    }
    return 0;
}
