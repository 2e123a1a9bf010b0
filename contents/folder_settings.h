// The settings and key-frame files a contents folder may come with.
#pragma once

void LoadFolderSettings();
