// Configuration files of any content.
#include <cstddef>
#include <cstdint>

#include "config/configfile.h"
#include "config/editormodel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString items;
    if (limra::checkConfigFile(bytes, &items) == limra::ConfigFileCheck::Ok) {
        limra::EditorModel model;
        model.startUp();
        model.applyConfig(limra::parseConfig(items), limra::ConfigSource::File);
    }
    return 0;
}
