// Cutting the videos named on the command line into contents folders.
#pragma once

void ImportVideos();
