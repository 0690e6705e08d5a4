#include "app/cli/CliOptions.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "protocol/CommandTable.h"

namespace qm::cli {

namespace {
bool ParseLong(std::string_view text, long& out) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc{} && ptr == text.data() + text.size();
}
}  // namespace

const char* CliUsage() {
  return "usage: qm7310p-cli COMMAND [options]\n"
         "\n"
         "commands:\n"
         "  list     [--demo[=MODELS]]            list the attached meter bridges (CH9329, CP2110)\n"
         "  monitor  [--demo[=MODELS]] [options]  open a bridge and print each decoded reading\n"
         "  replay   FILE [--chunk N] [--log F]   decode a raw byte capture as a meter would send it\n"
         "  convert  IN OUT                       load a log file and save it in the other format\n"
         "  --version                             print the program's version\n"
         "\n"
         "monitor options:\n"
         "  --demo[=MODELS]     simulated bridges with a simulated meter behind each; MODELS is a\n"
         "                      comma list of cp2110 and ch9329 (default cp2110)\n"
         "  --device PATH       open this bridge (as `list` shows it) instead of asking\n"
         "  --capture FILE      a simulated CP2110 bridge plays FILE (raw meter bytes) at 9600 baud\n"
         "  --count N           stop after N readings\n"
         "  --seconds N         stop after N seconds\n"
         "  --send CODE         send a command (code, 0x.., or name: Hold, btnCmdUp) after connecting; repeatable\n"
         "  --export            download the meter's memory (asks; --yes answers)\n"
         "  --interactive       read commands from standard input: a code or name, 'export', 'pause', 'quit'\n"
         "  --log FILE          save the log to FILE at the end (.xls/.txt text, .xml data packet)\n"
         "  --interval S        log one record every S seconds instead of one per reading\n"
         "  --limits LOW,HIGH   judge each live reading against the limits (Pass/Fail)\n"
         "  --period MS         frame period of the simulated meters (default 500)\n"
         "  --decimal-separator C   override the locale's decimal separator\n"
         "  --yes               answer every confirmation with Yes\n";
}

std::optional<TCliOptions> ParseCli(int argc, char** argv, std::string& error) {
  TCliOptions o;
  if (argc < 2) {
    error = "missing command";
    return std::nullopt;
  }
  o.command = argv[1];
  if (o.command == "--help" || o.command == "-h") o.command = "help";
  if (o.command == "--version") o.command = "version";
  for (int i = 2; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = std::string(arg) + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto number = [&](long& out) {
      std::string text;
      if (!value(text)) return false;
      if (!ParseLong(text, out) || out < 0) {
        error = std::string(arg) + ": not a number: " + text;
        return false;
      }
      return true;
    };
    std::string text;
    long n = 0;
    if (arg == "--demo") {
      o.demo = "cp2110";
    } else if (arg.starts_with("--demo=")) {
      o.demo = std::string(arg.substr(7));
    } else if (arg == "--count") {
      if (!number(n)) return std::nullopt;
      o.count = n;
    } else if (arg == "--seconds") {
      if (!number(n)) return std::nullopt;
      o.timeoutSeconds = n;
    } else if (arg == "--chunk") {
      if (!number(n)) return std::nullopt;
      if (n < 1 || n > 1024) {
        error = "--chunk takes 1 to 1024";
        return std::nullopt;
      }
      o.chunk = static_cast<std::size_t>(n);
    } else if (arg == "--period") {
      if (!number(n)) return std::nullopt;
      if (n < 10 || n > 60000) {
        error = "--period takes 10 to 60000 ms";
        return std::nullopt;
      }
      o.periodMs = static_cast<std::uint32_t>(n);
    } else if (arg == "--send") {
      if (!value(text)) return std::nullopt;
      auto code = CommandCodeFromText(text);
      if (!code) {
        error = "--send takes a code from 0 to 255 or a command name (Hold, btnCmdUp, miFreqMode50): " + text;
        return std::nullopt;
      }
      o.send.push_back(*code);
    } else if (arg == "--capture") {
      if (!value(text)) return std::nullopt;
      o.capture = text;
    } else if (arg == "--device") {
      if (!value(text)) return std::nullopt;
      o.device = text;
    } else if (arg == "--log") {
      if (!value(text)) return std::nullopt;
      o.log = text;
    } else if (arg == "--interval") {
      if (!value(text)) return std::nullopt;
      o.interval = text;
    } else if (arg == "--limits") {
      if (!value(text)) return std::nullopt;
      o.limits = text;
    } else if (arg == "--decimal-separator") {
      if (!value(text)) return std::nullopt;
      o.decimalSeparator = text;
    } else if (arg == "--interactive") {
      o.interactive = true;
    } else if (arg == "--export") {
      o.exportMemory = true;
    } else if (arg == "--yes" || arg == "-y") {
      o.yes = true;
    } else if (arg == "--help" || arg == "-h") {
      o.command = "help";
    } else if (arg == "--version") {
      o.command = "version";
    } else if (arg.starts_with("--")) {
      error = "unknown option " + std::string(arg);
      return std::nullopt;
    } else {
      o.files.emplace_back(arg);
    }
  }
  return o;
}

}  // namespace qm::cli
