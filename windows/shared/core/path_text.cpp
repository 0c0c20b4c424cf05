#include "path_text.h"

namespace gantry {

std::optional<std::u16string> ConcatBounded(std::u16string_view base, std::u16string_view tail,
                                            std::size_t capacity) {
  if (!FitsWithTerminator(base.size() + tail.size(), capacity)) return std::nullopt;
  std::u16string joined;
  joined.reserve(base.size() + tail.size());
  joined.append(base).append(tail);
  return joined;
}

std::optional<std::u16string> JoinPath(std::u16string_view folder, std::u16string_view name,
                                       std::size_t capacity) {
  while (!name.empty() && name.front() == u'\\') name.remove_prefix(1);
  std::u16string joined(folder);
  if (!joined.empty() && joined.back() != u'\\' && !name.empty()) joined.push_back(u'\\');
  joined.append(name);
  if (!FitsWithTerminator(joined.size(), capacity)) return std::nullopt;
  return joined;
}

}  // namespace gantry
