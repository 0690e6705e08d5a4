// TLogTableModel: the log as a Qt table, its texts, and how it tells views about appends and resets.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>

#include <string>
#include <vector>

#include "app/gui/grid/LogTableModel.h"
#include "recording/LogFiles.h"
#include "common/ScriptedPrompt.h"
#include "app/gui/grid/GridFixture.h"

namespace qm::gui {
namespace {

using test::AppendReadings;
using test::Reading;

// Collects the warnings Qt prints meanwhile: the model tester reports through them.
class TWarnings {
 public:
  TWarnings() {
    texts().clear();
    previous_ = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type != QtDebugMsg && type != QtInfoMsg) texts().push_back(text.toStdString());
    });
  }
  ~TWarnings() { qInstallMessageHandler(previous_); }
  static std::vector<std::string>& texts() {
    static std::vector<std::string> all;
    return all;
  }

 private:
  QtMessageHandler previous_;
};

std::string Joined(const std::vector<std::string>& texts) {
  std::string all;
  for (const auto& t : texts) all += t + "\n";
  return all;
}

QString Cell(const TLogTableModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString();
}

TEST(LogTableModel, PassesTheModelTesterThroughAppendsResetsAndBatches) {
  TWarnings warnings;
  TReadingLog log;
  AppendReadings(log, 3);
  TLogTableModel model(log);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);

  AppendReadings(log, 1);
  model.Flush();
  AppendReadings(log, 5);  // announced together
  QCoreApplication::processEvents();
  EXPECT_EQ(model.rowCount(), 9);
  log.Clear();
  AppendReadings(log, 2);
  QCoreApplication::processEvents();
  {
    TReadingLog::TUpdate batch(log);
    AppendReadings(log, 40);
  }
  log.SetCurrentRow(7);
  EXPECT_EQ(model.rowCount(), 42);
  EXPECT_TRUE(warnings.texts().empty()) << Joined(warnings.texts());
}

// Appends are told to views in one insertion from the event loop; until then the row count is the
// one the views were told.
TEST(LogTableModel, CollectsAppendsIntoOneInsertion) {
  TReadingLog log;
  AppendReadings(log, 10);
  TLogTableModel model(log);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

  AppendReadings(log, 3);
  EXPECT_EQ(model.rowCount(), 10);
  EXPECT_TRUE(model.HasPendingAppends());
  EXPECT_EQ(model.CurrentRow(), -1) << "the log's current row is not announced yet";

  QCoreApplication::processEvents();
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 10);
  EXPECT_EQ(inserted[0][2].toInt(), 12);
  EXPECT_EQ(model.rowCount(), 13);
  EXPECT_EQ(model.CurrentRow(), 12);
  EXPECT_EQ(Cell(model, 12, 0), QStringLiteral("13"));

  model.Flush();  // nothing left to tell
  QCoreApplication::processEvents();
  EXPECT_EQ(inserted.count(), 1);
}

// Clearing, replacing (an XML load) and a batch of appends (a text load) each reset the model once,
// and appends still waiting to be told are dropped with the old rows.
TEST(LogTableModel, ResetsOnceForClearAndLoads) {
  TReadingLog log;
  AppendReadings(log, 20);
  TLogTableModel model(log);
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  test::ScriptedPrompt prompt;

  AppendReadings(log, 2);
  log.Clear();
  QCoreApplication::processEvents();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(model.rowCount(), 0);

  TLogReadResult text;
  text.Read = text.Ok = true;
  AppendReadings(text.Records, 500);
  ASSERT_TRUE(ApplyLogRead(std::move(text), log, true, prompt));
  EXPECT_EQ(resets.count(), 2);
  EXPECT_EQ(model.rowCount(), 500);

  TLogReadResult xml;
  xml.Xml = xml.Read = xml.Ok = true;
  AppendReadings(xml.Records, 50);
  ASSERT_TRUE(ApplyLogRead(std::move(xml), log, true, prompt));
  QCoreApplication::processEvents();
  EXPECT_EQ(resets.count(), 3);
  EXPECT_EQ(model.rowCount(), 50);
  EXPECT_EQ(inserted.count(), 0);
  EXPECT_TRUE(prompt.shown.empty());
}

TEST(LogTableModel, TitlesAlignmentAndReadOnlyCells) {
  TReadingLog log;
  AppendReadings(log, 1);
  TLogTableModel model(log);
  const QStringList titles = {"No.",      "Time",      "Function", "Value",    "Unit",
                              "SubValueA", "SubUnitA", "SubValueB", "SubUnitB"};
  ASSERT_EQ(model.columnCount(), titles.size());
  for (int c = 0; c < model.columnCount(); ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
    const int side = model.data(model.index(0, c), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask;
    EXPECT_EQ(side, c == 3 ? Qt::AlignRight : Qt::AlignLeft);
    EXPECT_FALSE(model.flags(model.index(0, c)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(0, c), QStringLiteral("x")));
  }
}

// Texts as the meter's code page gives them; a field never assigned shows empty.
TEST(LogTableModel, ShowsTheTextsOfTheRecord) {
  TReadingLog log;
  LogRecord phase;
  phase.ANo = 42;
  phase.AFunction = "PHASE";
  phase.AValue = "-12,5";
  phase.AUnit = std::string("\xA1\xA3");  // the phase-angle unit: U+3002
  phase.ASubValue1 = "";
  log.Append(phase);
  TLogTableModel model(log);

  const std::vector<QString> expected = {QStringLiteral("42"), QString(), QStringLiteral("PHASE"),
                                         QStringLiteral("-12,5"), QString(QChar(0x3002)), QString(),
                                         QString(), QString(), QString()};
  for (int c = 0; c < model.columnCount(); ++c) {
    SCOPED_TRACE(c);
    const QVariant value = model.data(model.index(0, c));
    EXPECT_EQ(value.toString(), expected[static_cast<std::size_t>(c)]);
  }
}

// Within a batch the log may already hold fewer rows than the views were told of: those rows read
// as empty until the reset arrives, they never reach past the log's end.
TEST(LogTableModel, RowsGoneWithinABatchReadEmpty) {
  TReadingLog log;
  AppendReadings(log, 5);
  TLogTableModel model(log);
  log.BeginUpdate();
  log.Clear();
  AppendReadings(log, 2);
  EXPECT_EQ(model.rowCount(), 5);
  EXPECT_EQ(Cell(model, 1, 0), QStringLiteral("2"));
  EXPECT_EQ(Cell(model, 4, 0), QString());
  log.EndUpdate();
  EXPECT_EQ(model.rowCount(), 2);
}

TEST(LogTableModel, CurrentRowGoesThroughTheLog) {
  TReadingLog log;
  AppendReadings(log, 10);
  TLogTableModel model(log);
  QSignalSpy moved(&model, &TLogTableModel::CurrentRowChanged);

  model.SetCurrentRow(4);
  EXPECT_EQ(log.CurrentRow(), 4u);
  log.SetCurrentRow(6);
  EXPECT_EQ(model.CurrentRow(), 6);
  ASSERT_EQ(moved.count(), 2);
  EXPECT_EQ(moved[1][0].toInt(), 6);

  model.SetCurrentRow(10);  // past the end
  model.SetCurrentRow(-1);
  EXPECT_EQ(log.CurrentRow(), 6u);
}

TEST(LogTableModel, StopsObservingTheLogWhenDestroyed) {
  TReadingLog log;
  {
    TLogTableModel model(log);
    EXPECT_TRUE(log.OnAppended.Assigned());
  }
  EXPECT_FALSE(log.OnAppended.Assigned());
  EXPECT_FALSE(log.OnReset.Assigned());
  EXPECT_FALSE(log.OnCurrentRowChanged.Assigned());
  AppendReadings(log, 1);
  QCoreApplication::processEvents();  // no announcement is left waiting for the gone model
}

}  // namespace
}  // namespace qm::gui
