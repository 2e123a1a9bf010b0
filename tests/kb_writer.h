// Test-only writers of the files the program reads but never writes: the
// knowledge-base files, the key-frame file and settings files. Fixtures are
// built from values in code; every binary value is written little-endian,
// byte by byte, whatever the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "state/state.h"

// Writes TALOS_data-N-1.dat .. -4.dat into the working folder: files 1 to 3
// from the knowledge base now held in Z (parameters, gesture table, learning
// records, mode tables, counts, calibration), file 4 from the given records.
void WriteKBFiles(int folder_number, const std::vector<KBRecord> &records);
std::string KBName(int folder_number, int file);

// A sample record whose Re[i] is base + i and Ps[i] is base - i.
KBRecord MakeSample(int mode, int gesture, int sample, double base = 1.0);

// ../S<k>/qdx_config.dat: the 23000-entry block with the given leading
// entries (zeros after them), then the tail text.
void WriteKeyFrameFile(int folder_number, const std::vector<int32_t> &entries, const std::string &tail);

// A settings file of the first count values in the file's order, from the
// given 1302 values (written as they are, so a test can put any text in).
std::string SettingsText(const std::vector<std::string> &values, size_t count);

// Cuts a file down to size bytes.
void CutFile(const std::string &path, size_t size);

// Little-endian encoders, shared with the seed corpus of the fuzz targets.
void PutInt32(std::string &out, int32_t v);
void PutDouble(std::string &out, double v);
std::string SampleBytes(const KBRecord &r);
