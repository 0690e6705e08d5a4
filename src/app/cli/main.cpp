#include <cstdio>

#include "app/cli/Commands.h"

int main(int argc, char** argv) { return qm::cli::RunCli(argc, argv, stdout); }
