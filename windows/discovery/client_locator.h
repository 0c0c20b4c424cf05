// Where the client program is: the program Windows opens connection files
// with, and the user's client folder with the basic client below it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "windows/shared/core/path_text.h"

namespace gantry {

// The program the ".kuva" association opens, cut after its first ".exe".
// Nothing when the association is missing or not the client's.
std::optional<std::wstring> FindAssociatedClient();

// "<application data>\KuvClient\", created when missing. Nothing when the
// application-data folder cannot be had or the path does not fit 260 units.
std::optional<std::wstring> MakeClientFolderPath();

// "<application data>\KuvClient\Bin" within `capacity` units (the folder
// itself is not created, the client folder is).
std::optional<std::wstring> MakeBasicClientFolderPath(std::size_t capacity = kMaxPathUnits);

// The basic client folder joined with "Varnel.exe", within `capacity` units.
std::optional<std::wstring> MakeBasicClientProgramPath(std::size_t capacity = kMaxPathUnits);

// Whether anything (file or folder) is at the basic client program path.
bool IsBasicClientPresent();

}  // namespace gantry
