#pragma once
// The configuration codec: configuration items to a configuration and back.
// Decoding applies the items over a configuration exactly as applying a
// configuration to the editor does; encoding gives the items each producer
// writes. Neither changes its arguments.
#include <optional>

#include "config/readerconfig.h"

namespace limra {

// Where a configuration comes from; a few items are read differently.
enum class ConfigSource { Reader, File, Default, MasterCard };

struct DecodeContext {
    ConfigSource source;
    ReaderKind reader;
    bool emMarine;  // whether the Em-Marine format is offered
};

struct DecodedConfig {
    ReaderConfig config;
    // Item 14 for a configuration from the reader, else the context's.
    bool emMarine;
};

// The configuration the items describe, applied over `base` exactly as
// applying a configuration to the editor does (missing items keep base's
// values, the editor's limits and rules, the reader kind's format list);
// nullopt when a value is refused.
std::optional<DecodedConfig> decodeConfig(const QString &items, const ReaderConfig &base, const DecodeContext &ctx);
std::optional<DecodedConfig> decodeConfig(const ConfigTable &table, const ReaderConfig &base, const DecodeContext &ctx);

// The configuration items for a producer (without the block's leading byte);
// keys padded to 32 digits in the output only.
QString encodeConfig(const ReaderConfig &config, Producer producer, ReaderKind reader);

} // namespace limra
