// What went wrong in one extraction run of the client package. The record
// keeps the last failure recorded; 0 means none.
#pragma once

namespace gantry {

inline constexpr int kExtractionSucceeded = 0;
inline constexpr int kPackageNotOpened = 1;       // not a readable installer database
inline constexpr int kQueryNotPrepared = 2;
inline constexpr int kQueryNotExecuted = 3;
inline constexpr int kStringNotRead = 4;
inline constexpr int kCabinetNotSaved = 5;        // the cabinet stream could not be copied out
inline constexpr int kMemberWithoutFileRow = 6;
inline constexpr int kMemberNotConfined = 7;      // its path would leave the target folder or not fit
inline constexpr int kFolderNotCreated = 8;
inline constexpr int kNoCabinetStream = 9;        // the package carries no "Calix.cab"
inline constexpr int kCabinetNotReadable = 10;    // the cabinet could not be walked (bad header, or the iterator failed)
inline constexpr int kMemberNotWritten = 11;      // the cabinet reader reported a member it could not write

}  // namespace gantry
