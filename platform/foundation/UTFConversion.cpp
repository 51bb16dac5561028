// UTF-16 <-> UTF-8 through ICU, a piece at a time so no length wraps.
#include "platform/foundation/UTFConversion.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>

namespace foundation_detail {

static_assert(kConversionPiece * 3 <= INT32_MAX, "a piece's UTF-8 form must fit an int32_t");

std::optional<std::string> utf16ToUTF8(std::u16string_view units, bool strict,
                                       std::size_t maxPieceUnits) {
  maxPieceUnits = std::clamp<std::size_t>(maxPieceUnits, 2, kConversionPiece);
  std::string out;
  out.reserve(units.size());  // at least a byte for each unit
  // Each piece goes through a buffer of its own, so the result grows only by
  // what was written.
  std::string buffer(std::min(maxPieceUnits, units.size()) * 3, '\0');
  for (std::size_t start = 0; start < units.size();) {
    std::size_t length = std::min(maxPieceUnits, units.size() - start);
    // A pair split here would turn into two unpaired surrogates.
    if (start + length < units.size() && U16_IS_LEAD(units[start + length - 1])) --length;
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = 0;
    // A UTF-16 unit never takes more than 3 UTF-8 bytes.
    const auto capacity = static_cast<int32_t>(length * 3);
    const auto count = static_cast<int32_t>(length);
    if (strict) {
      u_strToUTF8(buffer.data(), capacity, &needed, units.data() + start, count, &status);
    } else {
      u_strToUTF8WithSub(buffer.data(), capacity, &needed, units.data() + start, count, 0xFFFD,
                         nullptr, &status);
    }
    if (U_FAILURE(status)) return std::nullopt;
    out.append(buffer.data(), static_cast<std::size_t>(needed));
    start += length;
  }
  return out;
}

std::u16string utf8ToUTF16(std::string_view bytes, std::size_t maxPieceBytes) {
  maxPieceBytes = std::clamp<std::size_t>(maxPieceBytes, 4, kConversionPiece);
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  std::u16string out;
  out.reserve(bytes.size());  // at most a unit for each byte
  for (std::size_t start = 0; start < bytes.size();) {
    auto length = static_cast<int32_t>(std::min(maxPieceBytes, bytes.size() - start));
    // A sequence that the next piece could still complete waits for that piece.
    const uint8_t* piece = data + start;
    if (start + static_cast<std::size_t>(length) < bytes.size())
      U8_TRUNCATE_IF_INCOMPLETE(piece, 0, length);
    const std::size_t written = out.size();
    out.resize(written + static_cast<std::size_t>(length));  // never more units than bytes
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = 0;
    u_strFromUTF8WithSub(out.data() + written, length, &needed, bytes.data() + start, length,
                         0xFFFD, nullptr, &status);
    // With a substitute character set this cannot fail; were it to, nothing half made is handed
    // out.
    if (U_FAILURE(status)) return {};
    out.resize(written + static_cast<std::size_t>(needed));
    start += static_cast<std::size_t>(length);
  }
  return out;
}

}  // namespace foundation_detail
