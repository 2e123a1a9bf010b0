// Writers of the files the program reads but never writes, for the tests and the fuzz
// seeds; binary values little-endian, byte by byte, whatever the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "state/state.h"

void PutInt32(std::string &out, int32_t v);
void PutDouble(std::string &out, double v);

// A sample record (a record of knowledge-base file 4) and its bytes; Re[i]
// is base + i and Ps[i] is base - i.
KBRecord MakeSample(int mode, int gesture, int sample, double base = 1.0);
std::string SampleBytes(const KBRecord &r);

// ../S<k>/qdx_config.dat: the 23000-entry block with the given leading
// entries (zeros after them), then the tail text.
void WriteKeyFrameFile(int folder_number, const std::vector<int32_t> &entries, const std::string &tail);

// A settings file of the first count of the given values, as written.
std::string SettingsText(const std::vector<std::string> &values, size_t count);
