// The four knowledge-base files of a contents folder: the parameters as text,
// then the tables, the calibration and the samples, binary and little-endian.
#pragma once

#include <cstddef>
#include <cstdio>

constexpr size_t KB_TABLES_BYTES = 9831776;   // file 2
constexpr size_t KB_CALIBRATION_BYTES = 2752; // file 3
constexpr size_t KB_RECORD_BYTES = 1040;      // unit of file 4

// file is 1..4.
void KBFileName(char *out, size_t size, int folder_number, int file);

// ReadKB's steps on an open stream (also the fuzz targets'). A short or
// damaged file leaves every value it does not hold whole as it was.

void ReadKBParameters(FILE *file); // prints the parameter line
void ReadKBTables(FILE *file);
void ReadKBCalibration(FILE *file);
void ReadKBSamples(FILE *file); // reports bad indices and abnormal values
