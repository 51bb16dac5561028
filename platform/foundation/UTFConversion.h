// Conversions between UTF-16 and UTF-8 for texts of any length. ICU's
// converters take int32_t lengths, so a long text is converted a piece at a
// time; a piece never ends inside a surrogate pair or a UTF-8 sequence, so the
// result is the same as one conversion of the whole text would give.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace foundation_detail {

// Small enough that the UTF-8 form of a piece (at most 3 bytes for each unit)
// still fits an int32_t length.
inline constexpr std::size_t kConversionPiece = std::size_t{1} << 20;

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD, or, when strict, makes
// the conversion fail. Pieces of maxPieceUnits units (at least 2). Pure
// function: any thread, never blocks.
std::optional<std::string> utf16ToUTF8(std::u16string_view units, bool strict,
                                       std::size_t maxPieceUnits = kConversionPiece);

// UTF-8 to UTF-16, malformed sequences as U+FFFD, NUL bytes kept. Pieces of
// maxPieceBytes bytes (at least 4). Pure function: any thread, never blocks.
std::u16string utf8ToUTF16(std::string_view bytes, std::size_t maxPieceBytes = kConversionPiece);

}  // namespace foundation_detail
