// Writes the seed corpus of the fuzz targets into <folder>/<target>/: for
// each reader a few well-formed files and a few of the damaged shapes the
// readers must survive, all made from values here.
#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "state/state.h"
#include "tests/kb_writer.h"

namespace {

std::string Folder;

void Seed(const char *target, const char *name, const std::string &bytes) {
  std::string dir = Folder + "/" + target;
  mkdir(dir.c_str(), 0755);
  std::string path = dir + "/" + name;
  if (FILE *f = fopen(path.c_str(), "wb")) {
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
}

std::vector<std::string> SettingsValues() {
  std::vector<std::string> v = {"4", "0", "4",      "2.000000", "9600", "1", "1.000000", "5", "2",
                                "0", "0", "108000", "1",        "0",    "1", "0",        "3"};
  for (int i = 0; i < KEYFRAME_NUM; ++i)
    v.push_back(i % 97 == 0 ? std::to_string(i) + ".500000" : "0.000000");
  for (const char *extra : {"2", "3", "0", "1", "2"})
    v.push_back(extra);
  return v;
}

void SettingsSeeds() {
  std::vector<std::string> v = SettingsValues();
  Seed("fuzz_settings", "complete", SettingsText(v, 1302));
  Seed("fuzz_settings", "without-additional", SettingsText(v, 1297));
  Seed("fuzz_settings", "three-additional", SettingsText(v, 1300));
  Seed("fuzz_settings", "empty", "");
  std::vector<std::string> bad = v;
  bad[0] = "0";
  bad[1] = "20000";
  bad[2] = "99999";
  bad[3] = "nan";
  bad[5] = "7";
  bad[6] = "-inf";
  bad[16] = "5000";
  bad[20] = "1e999";
  bad[21] = "99999999999999999999";
  Seed("fuzz_settings", "out-of-range", SettingsText(bad, 1302));
  bad = v;
  bad[40] = "text";
  Seed("fuzz_settings", "text-inside", SettingsText(bad, 1302));
}

void KeyFrameSeeds() {
  std::string block;
  for (int i = 0; i < PIVOT_NUM; ++i)
    PutInt32(block, i == 7 ? 120 : i == 9 ? -5 : i < 1280 ? 0 : i);
  Seed("fuzz_keyframes", "complete", block + "4321\n");
  Seed("fuzz_keyframes", "no-tail", block);
  Seed("fuzz_keyframes", "short", block.substr(0, 1030));
}

void KnowledgeBaseSeeds() {
  Seed("fuzz_kb_parameters", "start-values",
       "40 500 -1.000000 40 0 60 0.000000 0 32 1.000000 0.000000 1.000000 0 0.010000 0 0 0.100000 8 8.000000 "
       "5 0 ");
  Seed("fuzz_kb_parameters", "damaged", "40 500 nan 40 0 60 1e400 0 32 -1.000000 x 1.0 0 0.010000");

  std::string tables;
  for (int g = 0; g < GESTURE_NUM; ++g) {
    std::string name(20, '\0');
    name[0] = static_cast<char>('A' + g);
    if (g == 7) name.assign(20, 'x'); // no terminator in the file
    tables += name;
    PutInt32(tables, g);
    PutInt32(tables, g * 10);
  }
  for (int i = 0; i < 160; ++i) {
    PutInt32(tables, i % 2);
    PutInt32(tables, 0);
    PutDouble(tables, i * 0.5);
    PutDouble(tables, -i * 0.25);
  }
  Seed("fuzz_kb_tables", "head", tables);
  Seed("fuzz_kb_tables", "cut", tables.substr(0, 230));

  std::string calibration;
  for (int i = 0; i < 32; ++i)
    PutDouble(calibration, i < 8 ? 1.0e10 : 0.5);
  for (int i = 0; i < 256 + 24; ++i)
    PutDouble(calibration, i * 0.001);
  for (int i = 0; i < 24 + 8 + 32; ++i)
    PutInt32(calibration, i);
  Seed("fuzz_kb_calibration", "complete", calibration);
  Seed("fuzz_kb_calibration", "cut", calibration.substr(0, 2500));

  std::string samples;
  for (int s = 0; s < 3; ++s)
    samples += SampleBytes(MakeSample(1, 2, s));
  Seed("fuzz_kb_samples", "three", samples);
  KBRecord abnormal = MakeSample(31, 7, 199, 2.0e9);
  abnormal.Ps[5] = -1.0e12;
  Seed("fuzz_kb_samples", "abnormal-and-cut", SampleBytes(abnormal) + samples.substr(0, 1500));
  Seed("fuzz_kb_samples", "bad-index", samples + SampleBytes(MakeSample(0, 0, 200)) + samples);
  Seed("fuzz_kb_samples", "empty", "");
}

void FileSeeds() {
  std::string table(2 * sizeof(FrameRecord), '\0');
  table.replace(offsetof(FrameRecord, path), 22, "../S001/clip_00000.jpg");
  table.replace(offsetof(FrameRecord, http), 9, "some text");
  table.replace(sizeof(FrameRecord) + 4, 300, std::string(300, 'p')); // fills path, runs into http
  Seed("fuzz_frame_table", "short", table);
  Seed("fuzz_frame_table", "whole", "F" + table + " 2\n");
  Seed("fuzz_frame_table", "negative", "F" + table + " -7\n");
  Seed("fuzz_frame_table", "too-many", "F" + table + " 22001\n");

  Seed("fuzz_camera_settings", "complete", "1\n0\n2\n7\n1\n");
  Seed("fuzz_camera_settings", "extremes", "-1 99999999999 -5 100000 x");
  Seed("fuzz_threshold", "plain", "11500\n");
  Seed("fuzz_threshold", "negative", "-500");
  Seed("fuzz_threshold", "huge", "2147483647");
  Seed("fuzz_threshold", "text", "fast");

  cv::Mat picture(117, 203, CV_8UC3);
  cv::randu(picture, 0, 255);
  std::vector<uchar> bytes;
  cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_QUALITY, 90});
  Seed("fuzz_frame", "baseline.jpg", std::string(bytes.begin(), bytes.end()));
  Seed("fuzz_frame", "cut.jpg", std::string(bytes.begin(), bytes.begin() + bytes.size() / 2));
  cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
  Seed("fuzz_frame", "progressive.jpg", std::string(bytes.begin(), bytes.end()));
  cv::Mat grey(33, 17, CV_8UC1, cv::Scalar(90));
  cv::imencode(".jpg", grey, bytes);
  Seed("fuzz_frame", "grey.jpg", std::string(bytes.begin(), bytes.end()));
  cv::imencode(".png", picture(cv::Rect(0, 0, 20, 10)), bytes);
  Seed("fuzz_frame", "png", std::string(bytes.begin(), bytes.end()));
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  Folder = argv[1];
  mkdir(Folder.c_str(), 0755);
  SettingsSeeds();
  KeyFrameSeeds();
  KnowledgeBaseSeeds();
  FileSeeds();
  return 0;
}
