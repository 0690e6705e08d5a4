// Command line of qm7310p-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm::cli {

struct TCliOptions {
  std::string command;              // list, monitor, replay, convert, help, version
  std::vector<std::string> files;   // positional arguments after the command
  std::optional<std::string> demo;  // --demo[=MODELS]: "cp2110" when given bare
  std::optional<long> count;        // --count N
  std::optional<std::string> device;
  std::optional<std::string> capture;  // --capture FILE: a simulated bridge plays this capture
  std::vector<std::uint8_t> send;   // --send CODE (repeatable)
  bool interactive = false;
  bool yes = false;
  bool exportMemory = false;
  std::optional<std::string> log;
  std::optional<std::string> interval;  // seconds, validated as the interval edit does
  std::optional<std::string> limits;    // LOW,HIGH (or LOW;HIGH)
  std::size_t chunk = 35;
  std::uint32_t periodMs = 500;
  std::optional<std::string> decimalSeparator;
  std::optional<long> timeoutSeconds;  // monitor: stop after this long
};

// Parses argv; on error returns nullopt and sets `error`.
std::optional<TCliOptions> ParseCli(int argc, char** argv, std::string& error);
const char* CliUsage();

}  // namespace qm::cli
