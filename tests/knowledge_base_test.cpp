// The gesture knowledge base: the four files with their layouts, what
// missing, short or damaged files leave, and the release of the records.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "contents/folder_settings.h"
#include "gesture/kb_files.h"
#include "gesture/knowledge_base.h"
#include "state/state.h"
#include "tests/kb_writer.h"
#include "tests/support.h"

namespace {

const std::string Banner = "\nReadKB:\n         OOO            O \n        O               O \n"
                           "        O       OOOO    O \n        O OOOO O    O   O \n"
                           "        O   O  O    O   O \n        O   O  O    O     \n"
                           "         OOO    OOOO    O \n\n";

class KnowledgeBase : public PlayerTest {
 protected:
  void SetUp() override {
    PlayerTest::SetUp();
    InitKnowledgeBase();
  }
  void TearDown() override {
    FreeKnowledgeBase(); // LeakSanitizer checks that no record stays behind
    PlayerTest::TearDown();
  }
};

std::string KBName(int k, int file) {
  return "TALOS_data-" + std::to_string(k) + "-" + std::to_string(file) + ".dat";
}

// The four files of folder k. Files 2 and 3 are zero but for the first and
// last entry of every block, each placed at its offset in the layout.
void WriteKBFiles(int k, const std::vector<KBRecord> &records) {
  WriteText(KBName(k, 1), "41 500 -2.500000 40 0 60 0.000000 0 32 1.000000 0.000000 1.000000 0 0.010000 7 "
                          "3 0.100000 8 8.000000 5 9 ");
  const size_t last = 224 + 24 * 409599; // the last learning entry
  // {file, offset, value, size}: gesture table, learning entries, ModeEnable, KBCount; RecogThreshold,
  // AmbiguityLimit, ModeContribution, ReviewSum, ReviewCount, LearnFrameCount, ModeCandidate.
  const std::tuple<int, size_t, double, int> pokes[] = {
      {2, 7 * 28 + 24, 321, 4}, {2, 224 + 8, 0.25, 8},    {2, last, 2, 4},     {2, last + 16, 3.5, 8},
      {2, 9830624, 5, 4},       {2, 9830624 + 124, 6, 4}, {2, 9830752, 3, 4},  {2, 9831772, 200, 4},
      {3, 0, 11.0, 8},          {3, 248, 0.5, 8},         {3, 2296, 0.125, 8}, {3, 2472, 1.5, 8},
      {3, 2480, 2.0, 8},        {3, 2488, 6.5, 8},        {3, 2588, 17, 4},    {3, 2620, 99, 4},
      {3, 2748, 4, 4}};
  std::string files[2] = {"wave" + std::string(9831772, '\0'), std::string(2752, '\0')}, samples;
  for (const auto &[file, at, value, size] : pokes) {
    std::string bytes;
    size == 4 ? PutInt32(bytes, static_cast<int32_t>(value)) : PutDouble(bytes, value);
    files[file - 2].replace(at, bytes.size(), bytes);
  }
  for (const KBRecord &r : records)
    samples += SampleBytes(r);
  WriteText(KBName(k, 2), files[0]);
  WriteText(KBName(k, 3), files[1]);
  WriteText(KBName(k, 4), samples);
}

// What the files set, in the order of the files.
std::vector<double> Loaded() {
  const LearnEntry &first = Z.LearnHistory[0][0][0][0], &last = Z.LearnHistory[7][7][31][199];
  return AsDoubles(Z.DThreshold, Z.OCThreshold, Z.MThreshold, Z.IdealGRATE, Z.SIMILAR_LEFT, Z.FIXED_MODES,
                   Z.GestureTable[0].name[0], Z.GestureTable[7].length, Z.GestureTable[3].number, first.score,
                   last.valid, last.score, last.match, Z.ModeEnable[0], Z.ModeEnable[31], Z.KBCount[0][0],
                   Z.KBCount[31][7], Z.RecogThreshold[0], Z.ReservedValue[0], Z.AmbiguityLimit[7],
                   Z.ModeContribution[7][31], Z.ReviewSum[7].best, Z.ReviewSum[7].spread,
                   Z.ReviewSum[7].ambiguity, Z.ReviewCount[7].ambiguity, Z.LearnFrameCount[7],
                   Z.ModeCandidate[31]);
}

int RecordCount() {
  return static_cast<int>(std::count(&Z.KBFlag[0][0][0], &Z.KBFlag[0][0][0] + KB_RECORD_MAX, 1));
}

TEST_F(KnowledgeBase, LoadsAllFourFilesOfTheFolderOrNoneWhenOneIsMissing) {
  WriteKBFiles(12, {MakeSample(0, 0, 0), MakeSample(31, 7, 199, 5.0)});
  WriteKBFiles(1, {}); // another folder's files must not be read
  Z.ContentsIndex = 11;
  Z.CamBeep = 1;
  EXPECT_EQ(ReadKB(), 0);
  EXPECT_EQ(Loaded(), AsDoubles(41, -2.5, 40, 7, 3, 9, 'w', 321, 0, 0.25, 2, 0, 3.5, 5, 6, 3, 200, 11.0, 0,
                                0.5, 0.125, 1.5, 2.0, 6.5, 17, 99, 4));
  ASSERT_EQ(RecordCount(), 2);
  EXPECT_EQ(std::make_pair(Z.KBData[31][7][199]->Re[63], Z.KBData[31][7][199]->Ps[63]),
            std::make_pair(68.0, -58.0));
  EXPECT_EQ(CapturedOut,
            "DThreshold=41 OK_HIGH=500 OCThreshold=-2.500000 MThreshold=40 pos_num=0 "
            "GRATE=60 GRATE_SUM=0.000000 GRATE_COUNT=0 NEROI=32 SKIP=1.000000 GRATE_SUM2=0.000000 "
            "RSKIP=1.000000 GRATE_COUNT2=0 RF_COEFFICIENT=0.010000 IdealGRATE=7 \n\a" +
                Banner);
  EXPECT_EQ(Recorded.events.back(), "wait 1");

  // A second load, through the folder settings, releases the first one's records.
  WriteKBFiles(12, {MakeSample(3, 3, 3)});
  LoadFolderSettings();
  EXPECT_EQ(std::make_tuple(RecordCount(), Z.KBFlag[3][3][3]), std::make_tuple(1, 1));
  EXPECT_EQ(Z.KBData[0][0][0], nullptr);

  // A missing file changes nothing: no file is read.
  WriteKBFiles(12, {MakeSample(5, 5, 5)});
  for (int missing = 1; missing <= 4; ++missing) {
    const std::string name = KBName(12, missing), kept = name + ".kept";
    ASSERT_EQ(rename(name.c_str(), kept.c_str()), 0);
    CapturedOut.clear();
    EXPECT_EQ(ReadKB(), -1) << missing;
    EXPECT_EQ(std::make_tuple(CapturedOut, Z.KBFlag[3][3][3], Z.KBFlag[5][5][5]),
              std::make_tuple(std::string(), 1, 0));
    ASSERT_EQ(rename(kept.c_str(), name.c_str()), 0);
  }
}

TEST_F(KnowledgeBase, ShortFilesKeepWhatTheyDoNotHold) {
  WriteKBFiles(1, {});
  // File 1 ends after OCThreshold; file 2 inside the last learning entry's score, its
  // first gesture name filling its field; file 3 inside ReviewSum[7].ambiguity.
  const std::string parameters = ReadText(KBName(1, 1)), tables = ReadText(KBName(1, 2));
  WriteText(KBName(1, 1), parameters.substr(0, parameters.find(" 40 ")));
  WriteText(KBName(1, 2), std::string(20, 'x') + tables.substr(20, 224 + 24 * 409599 + 12 - 20));
  WriteText(KBName(1, 3), ReadText(KBName(1, 3)).substr(0, 2304 + 188));
  ASSERT_EQ(ReadKB(), 0);
  EXPECT_EQ(std::string(Z.GestureTable[0].name), std::string(19, 'x')); // ends inside its field
  EXPECT_EQ(Loaded(), AsDoubles(41, -2.5, 40, 0, 0, 0, 'x', 321, 0, 0.25, 2, 0, 0, 1, 1, -1, -1, 11.0, 0, 0.5,
                                0.125, 1.5, 2.0, 0, 0, 0, 1));
}

TEST_F(KnowledgeBase, SampleRecordsOfEveryShape) {
  WriteKBFiles(1, {});
  // Loads file 4 made of these records, the last one cut by `cut` bytes; how many are held.
  auto load = [](const std::vector<KBRecord> &records, size_t cut = 0) {
    std::string bytes;
    for (const KBRecord &r : records)
      bytes += SampleBytes(r);
    WriteText(KBName(1, 4), bytes.substr(0, bytes.size() - cut));
    CapturedOut.clear();
    EXPECT_EQ(ReadKB(), 0);
    return RecordCount();
  };
  // A bad index ends the records, reported with its number and indices.
  for (const KBRecord &bad : {MakeSample(0, 0, 200), MakeSample(0, 0, -1), MakeSample(32, 0, 0),
                              MakeSample(-1, 0, 0), MakeSample(1, 8, 2)})
    EXPECT_EQ(load({MakeSample(0, 0, 0), MakeSample(0, 0, 1), bad, MakeSample(0, 0, 2)}), 2)
        << bad.mode << " " << bad.gesture << " " << bad.sample;
  EXPECT_NE(CapturedOut.find("Illegal Index Number Detected in ReadKB(). Data Number = 2\n"
                             "index1=1, index2=8,  index3=2\n" +
                             Banner),
            std::string::npos);
  // A cut last record is left out, a later one replaces an earlier one of its slot,
  // abnormal values (NaN of either sign too) are reported and kept; an empty file holds none.
  KBRecord abnormal = MakeSample(2, 3, 4);
  abnormal.Re[10] = 2.0e9;
  abnormal.Ps[0] = -std::nan("");
  abnormal.Ps[1] = 1.0e9; // the limit itself is normal
  EXPECT_EQ(load({MakeSample(2, 3, 4, 100.0), abnormal, MakeSample(9, 1, 9)}, 1), 1);
  EXPECT_EQ(std::make_pair(Z.KBData[2][3][4]->Re[10], Z.KBData[2][3][4]->Re[0]), std::make_pair(2.0e9, 1.0));
  EXPECT_NE(
      CapturedOut.find("\nAbnormal Data Exist in Re(2 3 4)\nAbnormal Data Exist in Ps(2 3 4)\n\nReadKB:"),
      std::string::npos);
  EXPECT_EQ(load({}), 0);
}

} // namespace
