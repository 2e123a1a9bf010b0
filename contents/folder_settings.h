// The settings and key-frame files a contents folder may come with. The
// program reads them and never writes them.
#pragma once

#include <cstdio>

// Reads the current folder's settings file (zep_envNNNN.dat, else the common
// zep_env.dat) and its key-frame file ../SNNN/qdx_config.dat, then the
// folder's knowledge base. Missing files are skipped without a message.
void LoadFolderSettings();

// The two readers on an open stream, also used by the fuzz targets. name and
// path are only printed.
void ReadSettingsFile(FILE *file, const char *name);
void ImportKeyFrames(FILE *file, const char *path);
