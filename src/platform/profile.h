#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Reads one value from an ini file of the private-profile kind:
//
//   ; comment
//   [Section]
//   Key = value
//
// Section and key names match without regard to case. Blanks around names
// and values are dropped, blanks inside a value are kept, and a value wrapped
// in one pair of matching quotes (' or ") loses them. Lines whose first
// non-blank character is ';' are comments. CRLF and LF line ends both work.
// When the file, the section or the key is missing, the result is
// defaultValue without trailing blanks. The result never holds more than
// bufferSize - 1 characters, as if copied into a terminated buffer of that
// size; a bufferSize of 0 gives "".
std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& filePath);

// Where the program finds the ini file fileName: the executable's folder,
// then <exe dir>/../etc/tarvik/, then /etc/. Returns the first path that
// exists, or the one in the executable's folder when none does. A name with
// a '/' is returned unchanged.
std::string findProfileFile(const std::string& fileName);

} // namespace platform
