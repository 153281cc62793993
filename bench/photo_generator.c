// Camera-like test pictures for the benchmarks: sky, hills, textured ground
// and sensor noise, so that the encoder has real detail to code (about 3 MB
// at quality 90 for 12 megapixels). Writes a binary PPM to stdout:
//   photo_generator WIDTH HEIGHT SEED | cjpeg -quality 90 > photo.jpg
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char** argv) {
  int w = atoi(argv[1]), h = atoi(argv[2]);
  unsigned seed = (unsigned)atoi(argv[3]) * 2654435761u + 1;
  unsigned char* row = malloc((size_t)w * 3);
  printf("P6\n%d %d\n255\n", w, h);
  double phase = (seed % 1000) / 160.0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double u = (double)x / w, v = (double)y / h;
      double horizon = 0.45 + 0.08 * sin(u * 9 + phase) + 0.03 * sin(u * 31);
      double r, g, b;
      if (v < horizon) {
        r = 90 + 120 * v; g = 140 + 90 * v; b = 230 - 40 * v;
        double cloud = sin(u * 13 + phase) * sin(v * 17 + u * 5);
        if (cloud > 0.6) { r += 70 * (cloud - 0.6); g += 70 * (cloud - 0.6); b += 20 * (cloud - 0.6); }
      } else {
        double t = sin(x * 0.09 + sin(y * 0.05) * 3) * sin(y * 0.11 + phase);
        r = 70 + 40 * t + 50 * v; g = 110 + 50 * t; b = 40 + 20 * t;
      }
      seed = seed * 1103515245u + 12345u;
      double noise = (double)((seed >> 16) & 31) - 15.5;
      double c[3] = {r + noise, g + noise * 0.8, b + noise * 1.2};
      for (int k = 0; k < 3; ++k)
        row[x * 3 + k] = (unsigned char)(c[k] < 0 ? 0 : c[k] > 255 ? 255 : c[k]);
    }
    fwrite(row, 3, (size_t)w, stdout);
  }
  free(row);
  return 0;
}
