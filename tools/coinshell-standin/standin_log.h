#pragma once
// The stand-in's record log: one JSON object per line for every record it received and every
// message it posted, so tests and the demo can check the protocol byte for byte.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/message_target.h"

namespace cs::standin {

// A JSON string literal; bytes outside printable ASCII as \u00XX.
std::string JsonString(std::string_view s);
std::string Hex(std::span<const std::uint8_t> bytes);

// One line (without the newline) describing a received record of the named mailslot.
std::string RecordLine(std::int64_t ms, std::string_view slot, std::span<const std::uint8_t> bytes,
                       bool truncated);
std::string PostedLine(std::int64_t ms, const Message& m, bool delivered);

}  // namespace cs::standin
