#include "version_text.h"

#include <cstdint>
#include <limits>

namespace gantry {
namespace {

// Position of the first `unit` at or after `from`, or -1.
long long Find(std::u16string_view text, char16_t unit, long long from = 0) {
  if (from < 0 || from > static_cast<long long>(text.size())) return -1;
  const std::size_t at = text.find(unit, static_cast<std::size_t>(from));
  return at == std::u16string_view::npos ? -1 : static_cast<long long>(at);
}

// The text from `first`, `count` units long, clamped the way the version
// rules cut: negatives become 0, a count past the end stops at the end, a
// start past the end gives the empty text.
std::u16string_view SubText(std::u16string_view text, long long first, long long count) {
  const long long length = static_cast<long long>(text.size());
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  if (first > length) return {};
  if (first + count > length) count = length - first;
  return text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
}

bool IsWhiteSpace(char16_t unit) {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

}  // namespace

std::int32_t ParseDecimalLikeWcstol(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMagnitudeLimit = kMax + 1;  // |INT32_MIN|
  std::int64_t magnitude = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (!overflow) {
      magnitude = magnitude * 10 + (text[i] - u'0');
      if (magnitude > kMagnitudeLimit) overflow = true;
    }
  }
  if (negative) {
    if (overflow || magnitude >= kMagnitudeLimit) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(-magnitude);
  }
  if (overflow || magnitude > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(magnitude);
}

ClientVersion ParseClientVersion(std::u16string_view text) {
  const long long length = static_cast<long long>(text.size());
  ClientVersion version;
  const long long dot = Find(text, u'.');
  version.major = ParseDecimalLikeWcstol(SubText(text, 0, dot));
  const long long blank = Find(text, u' ');
  version.minor = ParseDecimalLikeWcstol(SubText(text, dot + 1, blank - dot - 1));
  const long long start = blank + 1;
  long long nextBlank = -1;
  long long close = -1;
  if (start >= 0 && start <= length) {
    nextBlank = Find(text, u' ', start);
    close = Find(text, u')', start);
  }
  version.build = ParseDecimalLikeWcstol(SubText(text, nextBlank, close - nextBlank));
  return version;
}

bool PassesSelfRegistrationTest(const ClientVersion& version) {
  return version.major >= 10 && version.minor >= 1 && version.build >= 1238;
}

std::u16string FileVersionQuery(std::uint16_t language, std::uint16_t codePage) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string query = u"\\StringFileInfo\\";
  for (const std::uint16_t field : {language, codePage}) {
    for (int shift = 12; shift >= 0; shift -= 4) query.push_back(kHex[(field >> shift) & 0xF]);
  }
  query += u"\\FileVersion";
  return query;
}

}  // namespace gantry
