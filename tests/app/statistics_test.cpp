// Run statistics: the ring of twenty durations and the six labels.
#include "platform/ticks.h"
#include "tests/app/app_fixture.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

class StatisticsTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    platform::SetTickSource([this] { return now_; });
    StartProgram();
  }
  std::uint32_t now_ = 1000;
};

TEST_F(StatisticsTest, FirstThumbnailCountsOneTwentiethInTheAverage) {
  StartRunStatistics();
  EXPECT_EQ(Form1->Tick4->text(), "1000");
  StartPictureTimer();
  now_ = 1500;
  RecordTick();
  EXPECT_EQ(Form1->Tick1->text(), "500");
  SetCounter(Form1->Label10, 3);
  SetCounter(Form1->Label8, 1);
  UpdateStatistics();
  EXPECT_EQ(Form1->Tick5->text(), "25");
  EXPECT_EQ(Form1->Tick3->text(), "0 h 0 min 0 s");  // 25 ms × 2 files
  EXPECT_EQ(Form1->Tick2->text(), "0 h 0 min 0 s");
  EXPECT_EQ(Form1->Tick6->text(), "1");
}

TEST_F(StatisticsTest, TimeLeftFromAFullRing) {
  StartRunStatistics();
  for (int i = 0; i < 25; ++i) {  // the ring wraps after twenty
    StartPictureTimer();
    now_ += 300;
    RecordTick();
  }
  EXPECT_EQ(Statistics.ringIndex, 6);
  SetCounter(Form1->Label10, 4000);
  SetCounter(Form1->Label8, 0);
  UpdateStatistics();
  EXPECT_EQ(Form1->Tick5->text(), "300");
  EXPECT_EQ(Form1->Tick3->text(), "0 h 20 min 0 s");
}

TEST_F(StatisticsTest, SpeedAndElapsedTime) {
  struct Case {
    std::uint32_t start, now;
    int handled;
    const char* speed;
    const char* elapsed;
  } cases[] = {
      {1000, 10500, 10, "1", "0 h 0 min 9 s"},      // 10 div (9 + 1)
      {1000, 1400, 3, "3", "0 h 0 min 0 s"},        // the first second divides by 1
      {1000, 1000 + 3723000, 7448, "2", "1 h 2 min 3 s"},  // 7448 div 3724,
      {4294967000u, 500, 5, "5", "0 h 0 min 0 s"},  // the tick count wrapped
  };
  for (const auto& c : cases) {
    now_ = c.start;
    StartRunStatistics();
    now_ = c.now;
    SetCounter(Form1->Label10, c.handled + 1);
    SetCounter(Form1->Label8, c.handled);
    UpdateStatistics();
    EXPECT_EQ(Form1->Tick6->text().toStdString(), c.speed) << c.handled;
    EXPECT_EQ(Form1->Tick2->text().toStdString(), c.elapsed) << c.handled;
  }
}

TEST_F(StatisticsTest, FormatDuration) {
  EXPECT_EQ(FormatDuration(125000), "0 h 2 min 5 s");
  EXPECT_EQ(FormatDuration(4294967295u), "1193 h 2 min 47 s");
}
