// Saving the reading log to files and loading it back, in the two formats:
//  - tab-separated text (".xls", ".txt", and any name not ending in ".xml" when loading);
//  - the XML data packet of the log table (".xml").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/Prompt.h"
#include "recording/LogStore.h"

namespace qm {

inline constexpr std::string_view kOpenLogFilter =
    "Excel data files (*.xls)|*.xls|XML data files (*.xml)|*.xml|notepad data files (*.txt)|*.txt";
inline constexpr std::string_view kSaveLogFilter =
    "Excel File(*.xls)|*.xls|XML File(*.xml)|*.xml|Txt File(*.txt)|*.txt";
inline constexpr std::string_view kSaveLogDefaultExt = "xls";
inline constexpr std::string_view kLoadLogFailed = "Failed to Load File!";

// Outcome of parsing a log file's bytes.
struct TLogParseResult {
  std::string Error;  // empty on success
  bool Ok() const { return Error.empty(); }
};

// The whole text file for `log`: the header line of the column titles, then one line per record.
std::string FormatTextLog(const TReadingLog& log);
// One record's line of the text file, as FormatTextLog writes it, line end included.
std::string FormatTextLogLine(const LogRecord& record);
// The whole XML data packet for `log`.
std::string FormatXmlLog(const TReadingLog& log);

// Appends the records of a text file to `log`. On failure (empty file, a line with a non-integer
// first token or more than nine tokens) the records of the earlier lines stay appended.
// A quoted token left open at a line end goes on over the following lines to its closing quote,
// so a text holding CR or LF (which the writer quotes) reads back whole; a quote that never
// closes ends its token at the line end, as in files without such texts.
TLogParseResult ParseTextLog(std::string_view bytes, TReadingLog& log);
// Replaces `log` by the records of a data packet, first record current. The whole packet is read
// and checked first: on failure `log` is left as it was. A row without ANo loads with 0.
// The packet is parsed in pieces (METADATA whole, then the rows about a megabyte at a time), so
// reading it needs little memory beyond the records; METADATA must come before ROWDATA.
TLogParseResult ParseXmlLog(std::string_view bytes, TReadingLog& log);

// Extension of the file name (from the last "." of its last path component on), in lower case;
// empty when there is none.
std::string LogFileExtension(std::string_view fileName);
// The name a save writes to: `fileName`, with ".xls" appended unless it ends in ".xml", ".xls" or
// ".txt" (in any case).
std::string SaveLogFileName(std::string_view fileName);

// Saving and loading in two halves, so that a front end can read or write a large file away from
// its main thread: the first half touches only the file (and, for writing, reads the log, which
// must not change meanwhile); the second half, on the main thread, changes the log and reports.
struct TLogWriteResult {
  std::string FileName;  // the name written to (SaveLogFileName)
  bool Xml = false;
  bool Ok = false;
  std::string Error;  // the system's error text when not Ok
};
// Progress of a long save or load, from 0 to 1, reported from the thread doing the work.
using TLogProgress = std::function<void(double fraction)>;

TLogWriteResult WriteLogFile(const TReadingLog& table, const std::string& fileName, const TLogProgress& progress = {});
// The box of the save's outcome; a text save leaves the last record current. True when written.
bool ReportLogWrite(TReadingLog& table, const TLogWriteResult& result, IPrompt& prompt);

struct TLogReadResult {
  TReadingLog Records;  // what the file gave (for a text file, the lines before a failing one)
  bool Xml = false;
  bool Read = false;    // the file's bytes were read
  bool Ok = false;
};
// Reads the file piece by piece: besides the records it holds, a load needs a few megabytes.
TLogReadResult ReadLogFile(const std::string& fileName, const TLogProgress& progress = {});
// Applies a read to `table` as LoadLogFile does (one OnReset) and reports a failure.
bool ApplyLogRead(TLogReadResult&& result, TReadingLog& table, bool ClearFirst, IPrompt& prompt);

// Saves `table` (XML for ".xml", text otherwise) and tells the user how it went. The file is
// written beside the target and renamed over it once complete, so a failed save leaves any
// previous file intact. A text save leaves the last record current.
// True when the file was written.
bool SaveLogFile(TReadingLog& table, const std::string& fileName, IPrompt& prompt);
// Loads a file into `table`: XML replaces the table, text appends to it (after emptying it when
// ClearFirst, once the file was read). Failures are reported with kLoadLogFailed; a failed XML
// load leaves the table unchanged. Nothing is renumbered or plotted.
// The table's observers see one OnReset for the whole load. True when the file loaded.
bool LoadLogFile(const std::string& fileName, TReadingLog& table, bool ClearFirst, IPrompt& prompt);

// What a file button came to.
enum class TFileOutcome : std::uint8_t { Cancelled, Done, Failed };

// The log toolbar's open and save buttons: the file dialog, then LoadLogFile / SaveLogFile.
TFileOutcome btnRecordOpenClick(TReadingLog& log, IPrompt& prompt);
TFileOutcome btnRecordSaveClick(TReadingLog& log, IPrompt& prompt);

}  // namespace qm
