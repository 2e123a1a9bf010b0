#include "contents/folder_settings.h"

#include "gesture/knowledge_base.h"

void LoadFolderSettings() { ReadKB(); }
