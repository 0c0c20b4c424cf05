// The basic client: a per-user copy of the client program, extracted from
// the client package into "<application data>\KuvClient\Bin", registered for
// the user and paired with a removal script that undoes all of it.
#pragma once

#include <string_view>

namespace gantry {

// Extracts the package (less the left-out files) into the basic client
// folder, gets the connection files and URL protocol registered (by the
// client program's own "-regext" run when the associated client registers
// itself, else by the library) and writes "RemoveBasicClient.bat" there.
// 1 on success, 0 on failure; a package path of 260 units or more, or
// client paths that do not fit 260 units, fail before anything is done.
int InstallBasicClient(std::u16string_view packagePath);

}  // namespace gantry
