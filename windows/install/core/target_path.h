// Confinement of a cabinet member's target path. Every piece of it but the
// target folder comes from the package (the long name, a member's cabinet
// name, the Directory keys), so each piece must stay a plain name below the
// target folder: no "..", no drive, no colon (an alternate data stream), no
// leading backslash, no device name. A path that does not fit 260 units is
// refused whole, never cut into another path.
#pragma once

#include <string>
#include <string_view>

namespace gantry {

// One folder or file name that names a new entry inside its parent.
bool IsPlainName(std::u16string_view name);

// A relative path whose every level, split at "\" or "/", is a plain name.
// The empty text is the folder itself and is accepted.
bool IsConfinedRelativePath(std::u16string_view relative);

struct MemberTarget {
  enum class Outcome { kPlaced, kNotConfined, kTooLong } outcome = Outcome::kNotConfined;
  std::u16string path;  // only when placed
};

// targetFolder + relativeFolder + name, one backslash between the pieces,
// within 260 units with the terminator.
MemberTarget ComposeMemberTarget(std::u16string_view targetFolder, std::u16string_view relativeFolder,
                                 std::u16string_view name);

}  // namespace gantry
