#pragma once
// The configuration codec: configuration items to a configuration and back.
// Decoding applies the items over a configuration exactly as applying a
// configuration to the editor does; encoding gives the items each producer
// writes. Neither changes its arguments.
#include <QList>

#include "common/expected.h"
#include "config/configitems.h"
#include "config/readerconfig.h"

namespace limra {

struct DecodeContext {
    ConfigPlace source;
    ReaderKind reader;
    bool emMarine;  // whether the Em-Marine format is offered
};

struct DecodedConfig {
    ReaderConfig config;
    // Item 14 for a configuration from the reader, else the context's.
    bool emMarine;
};

// Why configuration items give no configuration.
struct ConfigDecodeError {
    enum class Kind {
        // An item every configuration carries (the formats, the conversion,
        // the read mode, the Wiegand type and width) is missing or cut short:
        // the reader would be given a configuration nobody chose.
        MissingItems,
        // A value the editor's fields refuse.
        RefusedValue,
    };
    Kind kind = Kind::RefusedValue;
    QList<int> missingTags; // MissingItems: the tags, in the order they are written
};

// The tags of the items every configuration carries that `items` lacks, or
// holds fewer bytes of than the item has; empty when none is missing.
QList<int> missingConfigItems(const ConfigItems &items);

// A decoded configuration, or why there is none.
using DecodeResult = Expected<DecodedConfig, ConfigDecodeError>;

// The configuration the items describe, applied over `base` exactly as
// applying a configuration to the editor does (the editor's limits and
// rules, the reader kind's format list; the items a configuration may leave
// out keep base's values). Refused when an item every configuration carries
// is missing, or a value is refused.
DecodeResult decodeConfig(const ConfigItems &items, const ReaderConfig &base, const DecodeContext &ctx);

// The configuration items written to a place (without the block's leading
// byte); keys padded to 32 digits in the output only.
ConfigItems encodeConfig(const ReaderConfig &config, ConfigPlace place, ReaderKind reader);

} // namespace limra
