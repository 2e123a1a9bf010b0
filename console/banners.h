// The fixed texts the program prints at set moments.
#pragma once

void PrintStartBanner();
void PrintFfmpegHelp();
void ShowHelp();          // licence notice, key list, camera state
void PrintCameraBanner(); // CAMERA : ON / OFF by CameraFlag, as the help screen shows it
void PrintPauseBanner();
void PrintGoBanner();
void PrintSeeYouBanner();
