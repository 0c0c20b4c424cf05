// The associated client program's "FileVersion" text and its numbers.
#pragma once

#include <optional>
#include <string>

#include "windows/discovery/core/version_text.h"

namespace gantry {

// The "FileVersion" text of the associated client program, possibly empty;
// nothing when there is no associated program, no version resource, no
// string in the table chosen, or a text too long for 1024 units.
std::optional<std::wstring> ReadClientFileVersion();

// The numbers of that text. Leaves `version` as it is and returns false when
// there is no text.
bool ReadClientVersion(ClientVersion& version);

// 0: no associated client with a readable version; 1: there is one and no
// basic client program; 2: there is one and the basic client program too.
int ClientInstallationState();

}  // namespace gantry
