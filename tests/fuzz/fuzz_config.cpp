// Configuration items of any shape put into the editor, then saved and loaded
// again as a file would be: the second load reproduces the first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/editormodel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString items = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    for (limra::ConfigSource source : {limra::ConfigSource::Reader, limra::ConfigSource::File,
                                       limra::ConfigSource::MasterCard, limra::ConfigSource::Default}) {
        limra::EditorModel first;
        first.startUp();
        if (!first.applyConfig(limra::parseConfig(items), source))
            continue;
        const QString saved = first.buildItems(limra::Producer::File);
        limra::EditorModel second;
        second.startUp();
        if (!second.applyConfig(limra::parseConfig(saved), limra::ConfigSource::File))
            std::abort(); // what the tool wrote, it must read
        if (second.buildItems(limra::Producer::File) != saved)
            std::abort();
        first.buildItems(limra::Producer::Reader);
        first.buildItems(limra::Producer::MasterCards);
    }
    return 0;
}
