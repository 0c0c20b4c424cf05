// What the basic client takes from the client package.
#pragma once

namespace gantry {

// Package files the basic client leaves out (compared without regard to
// case), in the order they are handed to the extraction.
inline constexpr const char16_t* kBasicClientSkipNames[] = {
    u"Brenlo.exe",    u"BrenloDEU.dll", u"BrenloESP.dll", u"BrenloFRA.dll",
    u"BrenloRUS.dll", u"BrenloITA.dll", u"BrenloJPN.dll",
};

}  // namespace gantry
