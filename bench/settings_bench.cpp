// Speed of the folder-settings loader and the knowledge-base reader, each
// figure beside its baseline in the same run (warm page cache):
//  - ReadKB of a full knowledge base (file 4 with 51,200 records, 53 MB)
//    vs a plain fread of the same four files' bytes, into one buffer made
//    once and into fresh memory;
//  - LoadFolderSettings of a complete 1302-value settings file vs fscanf
//    of the same values with the C library's "%d" / "%lf".
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/harness.h"
#include "contents/folder_settings.h"
#include "gesture/kb_files.h"
#include "gesture/knowledge_base.h"
#include "platform/platform.h"
#include "state/state.h"

namespace {

void PutInt32(std::string &out, int32_t v) {
  uint32_t u;
  memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
void PutDouble(std::string &out, double v) {
  uint64_t u;
  memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void WriteFile(const char *name, const std::string &bytes) {
  FILE *f = fopen(name, "wb");
  if (f == nullptr || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) abort();
  fclose(f);
}

void FileName(char *out, int file) { KBFileName(out, 64, 1, file); }

// Folder 1's four knowledge-base files, every sample slot filled, and folder
// 2's complete settings file.
void MakeInstallation() {
  char name[64];
  FileName(name, 1);
  WriteFile(name, "40 500 -1.000000 40 0 60 0.000000 0 32 1.000000 0.000000 1.000000 0 0.010000 0 0 "
                  "0.100000 8 8.000000 5 0 ");
  std::string tables(KB_TABLES_BYTES, '\0');
  FileName(name, 2);
  WriteFile(name, tables);
  std::string calibration(KB_CALIBRATION_BYTES, '\0');
  FileName(name, 3);
  WriteFile(name, calibration);
  std::string samples;
  samples.reserve(static_cast<size_t>(KB_RECORD_MAX) * KB_RECORD_BYTES);
  for (int m = 0; m < MODE_NUM; ++m)
    for (int g = 0; g < GESTURE_NUM; ++g)
      for (int s = 0; s < SAMPLE_NUM; ++s) {
        PutInt32(samples, m);
        PutInt32(samples, g);
        PutInt32(samples, s);
        PutInt32(samples, 0);
        for (int i = 0; i < 128; ++i)
          PutDouble(samples, i * 0.5 + s);
      }
  FileName(name, 4);
  WriteFile(name, samples);

  std::string settings = "4 1 100 2.000000 9600 1 1.000000 5 2 0 0 108000 0 0 1 0 0\n";
  char value[32];
  for (int i = 0; i < KEYFRAME_NUM; ++i) {
    snprintf(value, sizeof value, "%.6f%c", i * 3.0, i % 10 == 9 ? '\n' : ' ');
    settings += value;
  }
  settings += "10 20 0 0 1\n";
  WriteFile("zep_env0002.dat", settings);
}

void Setup() {
  Console = {Discard, Discard};
  Display.wait_key = NullDisplay.wait_key;
  InitKnowledgeBase();
}

size_t FreadAll(const char *name, std::vector<char> &buffer, size_t at) {
  FILE *f = fopen(name, "rb");
  if (f == nullptr) abort();
  size_t got = fread(buffer.data() + at, 1, buffer.size() - at, f);
  fclose(f);
  return got;
}

size_t KBBytes() {
  size_t total = 0;
  char name[64];
  for (int file = 1; file <= 4; ++file) {
    FileName(name, file);
    struct stat st;
    if (stat(name, &st) != 0) abort();
    total += static_cast<size_t>(st.st_size);
  }
  return total;
}

void BM_ReadKB(benchmark::State &state) {
  Setup();
  for (auto _ : state) {
    Z.ContentsIndex = 0;
    if (ReadKB() != 0) abort();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * KBBytes()));
  FreeKnowledgeBase();
}

// The baseline: the same bytes into one buffer made once (its pages already
// mapped), as a reader that decodes nothing and allocates nothing would get them.
void BM_FreadKBFiles(benchmark::State &state) {
  size_t total = KBBytes();
  std::vector<char> buffer(total);
  for (auto _ : state) {
    size_t at = 0;
    char name[64];
    for (int file = 1; file <= 4; ++file) {
      FileName(name, file);
      at += FreadAll(name, buffer, at);
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

// The same into memory that is new each time, as a loaded knowledge base is.
void BM_FreadKBFilesFresh(benchmark::State &state) {
  size_t total = KBBytes();
  for (auto _ : state) {
    std::unique_ptr<char[]> buffer(new char[total]); // not cleared: fread touches each page once
    size_t at = 0;
    char name[64];
    for (int file = 1; file <= 4; ++file) {
      FileName(name, file);
      FILE *f = fopen(name, "rb");
      at += fread(buffer.get() + at, 1, total - at, f);
      fclose(f);
    }
    benchmark::DoNotOptimize(buffer.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}

void BM_LoadFolderSettings(benchmark::State &state) {
  Setup();
  for (auto _ : state) {
    Z.ContentsIndex = 1;
    LoadFolderSettings(); // folder 2 has neither a key-frame file nor a knowledge base
  }
  FreeKnowledgeBase();
}

// The baseline: the C library's fscanf reading the same values.
void BM_FscanfSettingsFile(benchmark::State &state) {
  for (auto _ : state) {
    FILE *f = fopen("zep_env0002.dat", "r");
    int i[17];
    double d[1282];
    int n =
        fscanf(f, "%d %d %d %lf %d %d %lf %d %d %d %d %d %d %d %d %d %d", &i[0], &i[1], &i[2], &d[0], &i[3],
               &i[4], &d[1], &i[5], &i[6], &i[7], &i[8], &i[9], &i[10], &i[11], &i[12], &i[13], &i[14]);
    for (int k = 0; k < KEYFRAME_NUM; ++k)
      n += fscanf(f, "%lf", &d[2 + k]);
    for (int k = 0; k < 5; ++k)
      n += fscanf(f, "%d", &i[k]);
    fclose(f);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(d);
  }
}

} // namespace

BENCHMARK(BM_ReadKB)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FreadKBFiles)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FreadKBFilesFresh)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadFolderSettings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FscanfSettingsFile)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
  std::string root = EnterBenchFolder("settings");
  MakeInstallation();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return RemoveBenchFolder(root) ? 0 : 1;
}
