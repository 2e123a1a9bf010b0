// frame_dump OUTPUT FILE...: the frames LoadImage gives, as bytes for cmp
// between the Linux and the Windows build (tests/win/e2e/png_frames.sh): per
// file a line with its name and size (0x0x0 when not loaded), then its pixels.
#include <cstdio>

#include "platform/image.h"

int main(int argc, char **argv) {
  FILE *out = argc > 2 ? fopen(argv[1], "wb") : nullptr;
  if (out == nullptr) return 2;
  for (int i = 2; i < argc; ++i) {
    ZepImage *image = LoadImage(argv[i]);
    ImageShape shape = image != nullptr ? ShapeOf(image) : ImageShape{};
    fprintf(out, "%s %dx%dx%d\n", argv[i], shape.width, shape.height, shape.channels);
    if (image != nullptr)
      fwrite(ImagePixels(image), 1, size_t(shape.width) * shape.height * shape.channels, out);
    ReleaseImage(&image);
  }
  return fclose(out) == 0 ? 0 : 1;
}
