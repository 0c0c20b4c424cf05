// The per-user registration of the basic client under
// HKEY_CURRENT_USER\Software\Classes: connection files (".kuva", the content
// type and the ProgID "Varnel.Document") and the URL protocol "tavikclient",
// both opened by the basic client's program. Needs no administrator rights.
#pragma once

#include <string>

namespace gantry {

// Writes the content type's "Extension", then the ProgID's and the
// extension's defaults. 1 when all were written, 0 at the first failure
// (what was written before it stays).
int RegisterConnectionFileType(const std::wstring& program);

// Writes "URL Protocol" and the defaults below "tavikclient". 1 when all
// were written, 0 at the first failure.
int RegisterUrlProtocol(const std::wstring& program);

}  // namespace gantry
