// The gesture knowledge base: its start-up values, the release of its
// records, and the four files with their offsets, checks and damage.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "contents/folder_settings.h"
#include "gesture/kb_files.h"
#include "gesture/knowledge_base.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

const char *const LoadedBanner = "\nReadKB:\n         OOO            O \n"
                                 "        O               O \n"
                                 "        O       OOOO    O \n"
                                 "        O OOOO O    O   O \n"
                                 "        O   O  O    O   O \n"
                                 "        O   O  O    O     \n"
                                 "         OOO    OOOO    O \n\n";

class KnowledgeBase : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    InitKnowledgeBase();
  }
  void TearDown() override {
    FreeKnowledgeBase(); // LeakSanitizer checks that nothing stays behind
    PlayerTest::TearDown();
  }
  int RecordCount() {
    int n = 0;
    for (auto &mode : Z.KBFlag)
      for (auto &gesture : mode)
        for (int32_t flag : gesture)
          n += flag;
    return n;
  }
};

// Distinct values at the first and last entry of every block of files 1-3.
void SetDistinctKnowledgeBase() {
  Z.DThreshold = 41;
  Z.OCThreshold = -2.5;
  Z.IdealGRATE = 7;
  Z.SIMILAR_LEFT = 3;
  Z.FIXED_MODES = 9;
  memcpy(Z.GestureTable[0].name, "wave", 5);
  Z.GestureTable[7].length = 321;
  Z.LearnHistory[0][0][0][0] = {1, 0, 0.25, 0.5};
  Z.LearnHistory[7][7][31][199] = {2, 0, -1.75, 3.5};
  Z.ModeEnable[31] = 0;
  Z.KBCount[0][0] = 3;
  Z.KBCount[31][7] = 200;
  Z.RecogThreshold[0] = 11.0;
  Z.AmbiguityLimit[7] = 0.5;
  Z.ModeContribution[7][31] = 0.125;
  Z.ReviewSum[7].ambiguity = 6.5;
  Z.ReviewCount[7].ambiguity = 17;
  Z.LearnFrameCount[7] = 99;
  Z.ModeCandidate[31] = 0;
}

template <typename... T> std::vector<double> AsDoubles(T... values) {
  return {static_cast<double>(values)...};
}

void ExpectDistinctKnowledgeBase() {
  EXPECT_STREQ(Z.GestureTable[0].name, "wave");
  const auto &first = Z.LearnHistory[0][0][0][0];
  const auto &last = Z.LearnHistory[7][7][31][199];
  EXPECT_EQ(AsDoubles(Z.DThreshold, Z.OCThreshold, Z.IdealGRATE, Z.SIMILAR_LEFT, Z.FIXED_MODES,
                      Z.GestureTable[7].length, first.score, last.valid, last.match, Z.ModeEnable[31],
                      Z.KBCount[0][0], Z.KBCount[31][7], Z.RecogThreshold[0], Z.AmbiguityLimit[7],
                      Z.ModeContribution[7][31], Z.ReviewSum[7].ambiguity, Z.ReviewCount[7].ambiguity,
                      Z.LearnFrameCount[7], Z.ModeCandidate[31]),
            (std::vector<double>{41, -2.5, 7, 3, 9, 321, 0.25, 2, 3.5, 0, 3, 200, 11.0, 0.5, 0.125, 6.5, 17,
                                 99, 0}));
}

TEST_F(KnowledgeBase, LoadsAllFourFilesOfTheFolder) {
  SetDistinctKnowledgeBase();
  WriteKBFiles(12, {MakeSample(0, 0, 0), MakeSample(31, 7, 199, 5.0)});
  WriteKBFiles(1, {}); // another folder's files must not be read
  ResetState();
  InitKnowledgeBase();
  Z.ContentsIndex = 11;
  Z.CamBeep = 1;
  EXPECT_EQ(ReadKB(), 0);
  ExpectDistinctKnowledgeBase();
  ASSERT_EQ(RecordCount(), 2);
  EXPECT_EQ(Z.KBData[31][7][199]->Re[63], 68.0);
  EXPECT_EQ(Z.KBData[31][7][199]->Ps[63], -58.0);
  EXPECT_EQ(Z.KBData[0][0][0]->Re[0], 1.0);
  EXPECT_EQ(CapturedOut,
            "DThreshold=41 OK_HIGH=500 OCThreshold=-2.500000 MThreshold=40 pos_num=0 "
            "GRATE=60 GRATE_SUM=0.000000 GRATE_COUNT=0 NEROI=32 SKIP=1.000000 GRATE_SUM2=0.000000 "
            "RSKIP=1.000000 GRATE_COUNT2=0 RF_COEFFICIENT=0.010000 IdealGRATE=7 \n\a" +
                std::string(LoadedBanner));
  EXPECT_EQ(Recorded.events.back(), "wait 1");

  // A second load, through the folder settings, releases the first one's
  // records first.
  WriteKBFiles(12, {MakeSample(3, 3, 3)});
  CapturedOut.clear();
  LoadFolderSettings();
  EXPECT_EQ(Z.KBFlag[3][3][3], 1);
  EXPECT_EQ(RecordCount(), 1);
  EXPECT_EQ(Z.KBData[0][0][0], nullptr);
  EXPECT_NE(CapturedOut.find(LoadedBanner), std::string::npos);
}

TEST_F(KnowledgeBase, AMissingFileChangesNothing) {
  WriteKBFiles(1, {MakeSample(0, 1, 2)});
  ASSERT_EQ(ReadKB(), 0);
  SetDistinctKnowledgeBase(); // files with other values than those now held
  Z.DThreshold = 1;
  WriteKBFiles(1, {MakeSample(5, 5, 5)});
  Z.DThreshold = 41;
  for (int missing = 1; missing <= 4; ++missing) {
    std::string name = KBName(1, missing);
    std::string kept = name + ".kept";
    ASSERT_EQ(rename(name.c_str(), kept.c_str()), 0);
    CapturedOut.clear();
    EXPECT_EQ(ReadKB(), -1) << missing;
    EXPECT_EQ(CapturedOut, "");
    EXPECT_EQ(Z.KBFlag[0][1][2], 1);
    EXPECT_EQ(Z.KBFlag[5][5][5], 0);
    EXPECT_EQ(Z.DThreshold, 41);
    ASSERT_EQ(rename(kept.c_str(), name.c_str()), 0);
  }
}

TEST_F(KnowledgeBase, ShortFilesKeepWhatTheyDoNotHold) {
  SetDistinctKnowledgeBase();
  WriteKBFiles(1, {});
  InitKnowledgeBase();
  ResetState();
  InitKnowledgeBase();
  // File 1 ends after OCThreshold; file 2 inside the last learning entry's
  // score, its first gesture name filling its whole field; file 3 inside
  // ReviewSum.
  std::string parameters = ReadText(KBName(1, 1));
  WriteText(KBName(1, 1), parameters.substr(0, parameters.find("40")));
  std::string tables = ReadText(KBName(1, 2));
  WriteText(KBName(1, 2), std::string(20, 'x') + tables.substr(20, 224 + 24 * 409599 + 12 - 20));
  CutFile(KBName(1, 3), 2304 + 7 * 24 + 20);
  Z.LearnHistory[7][7][31][199] = {-1, 0, -1.0, -1.0};
  Z.ReviewSum[7] = {-1.0, -1.0, -1.0};
  ASSERT_EQ(ReadKB(), 0);
  EXPECT_EQ(std::string(Z.GestureTable[0].name), std::string(19, 'x')); // ends inside its field
  EXPECT_EQ(Z.DThreshold, 41);
  EXPECT_EQ(Z.OCThreshold, -2.5);
  EXPECT_EQ(Z.IdealGRATE, 0);
  EXPECT_EQ(Z.SIMILAR_LEFT, 0);
  EXPECT_EQ(Z.LearnHistory[0][0][0][0].score, 0.25);
  EXPECT_EQ(Z.LearnHistory[7][7][31][199].valid, 2);    // whole
  EXPECT_EQ(Z.LearnHistory[7][7][31][199].score, -1.0); // cut
  EXPECT_EQ(Z.ModeEnable[31], 1);
  EXPECT_EQ(Z.KBCount[31][7], -1);
  EXPECT_EQ(Z.ModeContribution[7][31], 0.125);
  EXPECT_EQ(Z.ReviewSum[7].best, 0.0);
  EXPECT_EQ(Z.ReviewSum[7].spread, 0.0);
  EXPECT_EQ(Z.ReviewSum[7].ambiguity, -1.0);
  EXPECT_EQ(Z.ModeCandidate[31], 1);
}

TEST_F(KnowledgeBase, SampleRecordsStopAtABadIndex) {
  const struct {
    KBRecord bad;
    const char *report; // after "Data Number = 2\n"
  } cases[] = {{MakeSample(0, 0, 200), "index1=0, index2=0,  index3=200\n"},
               {MakeSample(0, 0, -1), "index1=0, index2=0,  index3=-1\n"},
               {MakeSample(32, 0, 0), "index1=32, index2=0,  index3=0\n"},
               {MakeSample(0, 8, 0), "index1=0, index2=8,  index3=0\n"}};
  for (const auto &c : cases) {
    WriteKBFiles(1, {MakeSample(0, 0, 0), MakeSample(0, 0, 1), c.bad, MakeSample(0, 0, 2)});
    CapturedOut.clear();
    ASSERT_EQ(ReadKB(), 0);
    EXPECT_EQ(RecordCount(), 2) << c.report;
    EXPECT_NE(CapturedOut.find(std::string("Illegal Index Number Detected in ReadKB(). Data Number = 2\n") +
                               c.report),
              std::string::npos);
    EXPECT_NE(CapturedOut.find(LoadedBanner), std::string::npos);
  }
}

TEST_F(KnowledgeBase, SampleRecordsOfEveryShape) {
  // Empty file 4: no records, still loaded.
  WriteKBFiles(1, {});
  EXPECT_EQ(ReadKB(), 0);
  EXPECT_EQ(RecordCount(), 0);

  // A cut last record is left out; a later record replaces an earlier one
  // of the same slot; abnormal values are reported and kept.
  KBRecord abnormal = MakeSample(2, 3, 4);
  abnormal.Re[10] = 2.0e9;
  abnormal.Ps[0] = std::numeric_limits<double>::quiet_NaN();
  abnormal.Ps[1] = 1.0e9; // the limit itself is normal
  WriteKBFiles(1, {MakeSample(2, 3, 4, 100.0), abnormal, MakeSample(9, 9 % 8, 9)});
  CutFile(KBName(1, 4), 3 * 1040 - 1);
  CapturedOut.clear();
  EXPECT_EQ(ReadKB(), 0);
  EXPECT_EQ(RecordCount(), 1);
  EXPECT_EQ(Z.KBData[2][3][4]->Re[10], 2.0e9);
  EXPECT_EQ(Z.KBData[2][3][4]->Re[0], 1.0);
  EXPECT_NE(CapturedOut.find("Abnormal Data Exist in Re(2 3 4)\nAbnormal Data Exist in Ps(2 3 4)\n"
                             "\nReadKB:"),
            std::string::npos);
}

TEST_F(KnowledgeBase, AtMostEverySlotOnceIsRead) {
  std::vector<KBRecord> records;
  records.reserve(KB_RECORD_MAX + 1);
  for (int m = 0; m < MODE_NUM; ++m)
    for (int g = 0; g < GESTURE_NUM; ++g)
      for (int s = 0; s < SAMPLE_NUM; ++s)
        records.push_back(MakeSample(m, g, s));
  records.push_back(MakeSample(99, 99, 99)); // record 51,201 is never looked at
  WriteKBFiles(1, records);
  CapturedOut.clear();
  ASSERT_EQ(ReadKB(), 0);
  EXPECT_EQ(RecordCount(), KB_RECORD_MAX);
  EXPECT_EQ(CapturedOut.find("Illegal"), std::string::npos);
  EXPECT_EQ(Z.KBData[31][7][199]->sample, 199);
}

} // namespace
