// The name the program gives the files it keeps about one ROM in its state
// folder (the recoveries of unsaved edits, and any other file kept for a
// ROM), made from the ROM's path as the system gave it, byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace om {

// The ROM's file name, cut to at most 64 bytes where a character ends (a
// byte that is not UTF-8 counts as one character), a "_" put before a name
// that starts with a dot so that the files are never hidden, then "-" and
// 16 hexadecimal digits of the SHA-256 of the whole path. Two paths that
// differ in any byte get different stems; nothing is decoded.
std::string StateFileStem(std::string_view pathBytes);

}  // namespace om
