#include "app/import.h"

void ImportVideos() {}
