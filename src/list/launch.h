// The command line that opens an address in the browser.
#pragma once

#include <string>
#include <string_view>

namespace lh::list {

// The browser's path in quotes (a path with spaces must not start another
// program), one space, and the address as exactly one argument, whatever it
// holds: in quotes, a double quote inside written as %22, and backslashes
// before the closing quote doubled (the rules by which Windows programs
// split their command line).
std::string browserCommandLine(std::string_view browserPath, std::string_view address);

// Whether the address may be passed to a browser at all: one that begins
// (after blanks) with "-" or "/" would be read as a command-line switch of
// the browser's own, and is refused.
bool launchableAddress(std::string_view address);

}  // namespace lh::list
