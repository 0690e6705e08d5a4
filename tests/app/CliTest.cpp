// The command-line front end end to end: its subcommands over the simulated meter and bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <chrono>
#include <thread>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "QmVersion.h"
#include "app/cli/Commands.h"
#include "common/FileIo.h"
#include "recording/LogFiles.h"
#include "sim/Capture.h"
#include "sim/SimMeter.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int code;
  std::string out;
};

TRun RunCliArgs(std::vector<std::string> args) {
  args.insert(args.begin(), "qm7310p-cli");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::FILE* out = std::tmpfile();
  int code = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return {code, text};
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (line.starts_with(prefix)) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qm-cli-test-" + std::to_string(files::ProcessId()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(CliTest, ReplayDecodesEveryFrameOfACaptureAndLogsIt) {
  sim::TSimMeter meter;
  ASSERT_TRUE(sim::WriteCaptureFile(Path("capture.bin"), meter, 5000));
  std::size_t frames = 0;
  for (const auto& s : meter.Sent()) frames += s.frame.type == sim::kLiveFrame;
  ASSERT_GE(frames, 9u);

  for (const char* chunk : {"1", "7", "35", "1024"}) {
    SCOPED_TRACE(chunk);
    auto r = RunCliArgs({"replay", Path("capture.bin"), "--chunk", chunk, "--log", Path("out.txt")});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(LinesStartingWith(r.out, "live").size(), frames);
    std::string log = ReadFile(Path("out.txt"));
    EXPECT_TRUE(log.starts_with("No.\tTime\tFunction\tValue\tUnit\tSubValueA\tSubUnitA\tSubValueB\tSubUnitB\r\n"));
    EXPECT_EQ(LinesStartingWith(log, "").size(), frames + 1);
  }
}

TEST_F(CliTest, ACaptureReplaysAsADeviceThroughTheWholeStack) {
  sim::TSimMeter meter;
  ASSERT_TRUE(sim::WriteCaptureFile(Path("capture.bin"), meter, 4000));
  std::vector<std::string> sent;
  for (const auto& s : meter.Sent()) sent.push_back(s.frame.screen.main);
  ASSERT_GE(sent.size(), 5u);

  auto r = RunCliArgs({"monitor", "--capture", Path("capture.bin"), "--count", "5", "--period", "150"});
  EXPECT_EQ(r.code, 0) << r.out;
  auto live = LinesStartingWith(r.out, "live");
  ASSERT_EQ(live.size(), 5u) << r.out;
  for (std::size_t i = 0; i < live.size(); ++i)
    EXPECT_NE(live[i].find("main[" + sent[i] + "]"), std::string::npos) << live[i];
}

TEST_F(CliTest, ConvertRoundTripsTextThroughTheDataPacket) {
  sim::TSimMeter meter;
  ASSERT_TRUE(sim::WriteCaptureFile(Path("capture.bin"), meter, 3000));
  ASSERT_EQ(RunCliArgs({"replay", Path("capture.bin"), "--log", Path("a.txt")}).code, 0);
  EXPECT_EQ(RunCliArgs({"convert", Path("a.txt"), Path("b.xml")}).code, 0);
  EXPECT_EQ(RunCliArgs({"convert", Path("b.xml"), Path("c.txt")}).code, 0);
  EXPECT_EQ(ReadFile(Path("a.txt")), ReadFile(Path("c.txt")));
  auto failed = RunCliArgs({"convert", Path("missing.txt"), Path("d.xml")});
  EXPECT_EQ(failed.code, 1);
  EXPECT_NE(failed.out.find("Failed to Load File!"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("d.xml")));
}

// Starts a recording of the demo meter in a process of its own and kills it once `file` holds
// `lines` lines; returns the file's bytes as the kill left them.
std::string KillRecordingAfter(const std::string& log, const std::string& file, std::size_t lines) {
#ifdef _WIN32
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = nul;
  std::string command = "\"" QM_CLI_PROGRAM "\" monitor --demo --period 50 --log \"" + log + "\"";
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << command;
    CloseHandle(nul);
    return {};
  }
  CloseHandle(nul);
#else
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    ::execl(QM_CLI_PROGRAM, "qm7310p-cli", "monitor", "--demo", "--period", "50", "--log", log.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
#endif
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string text;
  while (std::chrono::steady_clock::now() < deadline) {
    text = ReadFile(file);
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
#ifdef _WIN32
  // TerminateProcess is Windows' kill: the program gets no chance to save or clean up.
  DWORD stillActive = 0;
  GetExitCodeProcess(process.hProcess, &stillActive);
  EXPECT_EQ(stillActive, STILL_ACTIVE) << "the recording ended before it was killed";
  TerminateProcess(process.hProcess, 137);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
#else
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the recording ended before it was killed";
#endif
  return ReadFile(file);
}

TEST_F(CliTest, AKilledTextRecordingKeepsEveryLineWrittenAsASaveWritesIt) {
  const std::string survived = KillRecordingAfter(Path("rec.txt"), Path("rec.txt"), 6);
  TReadingLog log;
  ASSERT_TRUE(ParseTextLog(survived, log).Ok());
  ASSERT_GE(log.Count(), 5u);
  for (std::size_t i = 0; i < log.Count(); ++i) EXPECT_EQ(log.Record(i).ANo, static_cast<std::int32_t>(i + 1));
  // Whole lines only, each as the text writer makes it.
  EXPECT_EQ(survived, FormatTextLog(log));
}

TEST_F(CliTest, AKilledXmlRecordingLeavesAJournalThatConvertTurnsIntoThePacket) {
  const std::string journal = KillRecordingAfter(Path("rec.xml"), Path("rec.xml.journal"), 6);
  EXPECT_FALSE(fs::exists(Path("rec.xml")));
  TReadingLog fromJournal;
  ASSERT_TRUE(ParseTextLog(journal, fromJournal).Ok());
  ASSERT_GE(fromJournal.Count(), 5u);

  ASSERT_EQ(RunCliArgs({"convert", Path("rec.xml.journal"), Path("rec.xml")}).code, 0);
  TReadingLog packet;
  ASSERT_TRUE(ParseXmlLog(ReadFile(Path("rec.xml")), packet).Ok());
  ASSERT_EQ(packet.Count(), fromJournal.Count());
  for (std::size_t i = 0; i < packet.Count(); ++i) EXPECT_EQ(packet.Record(i), fromJournal.Record(i));
}

TEST_F(CliTest, AFinishedRecordingIsTheSaveOfItsLogAndLeavesNoJournal) {
  ASSERT_EQ(RunCliArgs({"monitor", "--demo", "--period", "50", "--count", "4", "--log", Path("done.txt")}).code, 0);
  TReadingLog log;
  const std::string text = ReadFile(Path("done.txt"));
  ASSERT_TRUE(ParseTextLog(text, log).Ok());
  EXPECT_GE(log.Count(), 4u);
  EXPECT_EQ(text, FormatTextLog(log));

  ASSERT_EQ(RunCliArgs({"monitor", "--demo", "--period", "50", "--count", "4", "--log", Path("done.xml")}).code, 0);
  TReadingLog packet;
  ASSERT_TRUE(ParseXmlLog(ReadFile(Path("done.xml")), packet).Ok());
  EXPECT_GE(packet.Count(), 4u);
  EXPECT_FALSE(fs::exists(Path("done.xml.journal")));

  auto refused = RunCliArgs({"monitor", "--demo", "--count", "1", "--log", Path("no/such/dir/x.txt")});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out.find("# connected"), std::string::npos) << "a recording that cannot be written must not start";
}

TEST_F(CliTest, ListShowsBothFamiliesOfTheDemo) {
  auto r = RunCliArgs({"list", "--demo=ch9329,cp2110"});
  EXPECT_EQ(r.code, 0);
  auto ch = LinesStartingWith(r.out, "CH9329\t");
  auto cp = LinesStartingWith(r.out, "CP2110\t");
  ASSERT_EQ(ch.size(), 1u);
  ASSERT_EQ(cp.size(), 1u);
  EXPECT_NE(ch[0].find("1A86:E429"), std::string::npos);
  EXPECT_NE(ch[0].find("\t65"), std::string::npos);
  EXPECT_NE(cp[0].find("10C4:EA80"), std::string::npos);
}

TEST_F(CliTest, MonitorPrintsReadingsThroughTheWholeStackAndSavesTheLog) {
  for (const char* model : {"--demo=ch9329", "--demo=cp2110"}) {
    SCOPED_TRACE(model);
    auto r = RunCliArgs({"monitor", model, "--count", "4", "--period", "40", "--limits", "-100,100", "--log",
                  Path("m.xml")});
    EXPECT_EQ(r.code, 0) << r.out;
    auto live = LinesStartingWith(r.out, "live");
    EXPECT_EQ(live.size(), 4u) << r.out;
    for (const auto& l : live) EXPECT_NE(l.find(" Pass"), std::string::npos) << l;
    auto back = RunCliArgs({"convert", Path("m.xml"), Path("m.txt")});
    EXPECT_EQ(back.code, 0);
    EXPECT_GE(LinesStartingWith(ReadFile(Path("m.txt")), "").size(), 5u);
  }
}

TEST_F(CliTest, MonitorWithoutAMatchingBridgeSaysSo) {
  auto r = RunCliArgs({"monitor", "--demo", "--device", "NO-SUCH-PATH", "--count", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("No device found.  Please ensure that you have proper USB connection."), std::string::npos);
}

// The packaging checks compare this line with the package's version, so it is the bare number.
TEST_F(CliTest, VersionAnswersAloneWhereverItStands) {
  EXPECT_TRUE(std::regex_match(kVersion, std::regex(R"([0-9]+\.[0-9]+\.[0-9]+)"))) << kVersion;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"list", "--demo", "--version"}, {"replay", "--version"}}) {
    auto r = RunCliArgs(args);
    EXPECT_EQ(r.code, 0) << args[0];
    EXPECT_EQ(r.out, std::string("qm7310p-cli ") + kVersion + "\n") << args[0];
  }
}

}  // namespace
}  // namespace qm
