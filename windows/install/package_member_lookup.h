// A cabinet member's place as the package's tables give it, kept whole (not
// cut to the 260-unit buffers) so the placement can refuse what does not fit.
#pragma once

#include <string>

#include "windows/install/package_extraction.h"

namespace gantry {

struct MemberLookup {
  bool found = false;             // a File row was read
  std::u16string name;            // the long file name
  std::u16string relativeFolder;  // below the target folder; empty for the folder itself
};

// Uses the record's open `database`; records status 2, 3 or 4 on a failed
// query as the record's operations do.
MemberLookup LookUpMember(PackageExtraction& extraction, const std::u16string& fileKey);

}  // namespace gantry
