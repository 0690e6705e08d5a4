// What the command-line program asks of the terminal, the same on Linux and Windows.
#pragma once

#include <optional>
#include <string>

namespace qm::cli {

// Whether standard input is a terminal a person types at.
bool StdinIsTerminal();

// Whether the output takes UTF-8. On Linux that is the locale's character set; on Windows the
// program switches a console to UTF-8 here, and a file gets UTF-8 too.
bool PrepareUtf8Output();

// A line typed on standard input, if a whole one is waiting; never blocks. nullopt also at the
// end of the input, which `StdinEnded` then tells.
std::optional<std::string> TakeTypedLine();
bool StdinEnded();

}  // namespace qm::cli
