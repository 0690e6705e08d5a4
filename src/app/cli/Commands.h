// The subcommands of qm7310p-cli. Output goes to `out` so that tests can read it.
#pragma once

#include <cstdio>

namespace qm::cli {

// Runs the command line; returns the process exit code.
int RunCli(int argc, char** argv, std::FILE* out);

}  // namespace qm::cli
