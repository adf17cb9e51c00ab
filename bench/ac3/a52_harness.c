/* Decodes an AC-3 stream with liba52, downmixed to stereo, from memory, and
 * prints the frames decoded per second of CPU time. For bench/ac3/run.sh only.
 *
 *   a52_harness IN.ac3 [repeats] */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <a52dec/a52.h>
#include <a52dec/mm_accel.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: a52_harness IN.ac3 [repeats]\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) {
    perror(argv[1]);
    return 1;
  }
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  uint8_t* data = malloc((size_t)size);
  if (!data || fread(data, 1, (size_t)size, f) != (size_t)size) return 1;
  fclose(f);
  int repeats = argc > 2 ? atoi(argv[2]) : 1;

  a52_state_t* state = a52_init(0);
  double checksum = 0;
  long frames = 0;
  clock_t start = clock();
  for (int r = 0; r < repeats; ++r) {
    long pos = 0;
    while (pos + 7 <= size) {
      int flags, sample_rate, bit_rate;
      int length = a52_syncinfo(data + pos, &flags, &sample_rate, &bit_rate);
      if (length == 0 || pos + length > size) {
        ++pos;
        continue;
      }
      flags = A52_STEREO;
      sample_t level = 1, bias = 0;
      if (a52_frame(state, data + pos, &flags, &level, bias) == 0) {
        a52_dynrng(state, NULL, NULL);
        for (int b = 0; b < 6; ++b) {
          if (a52_block(state) != 0) break;
          checksum += a52_samples(state)[100];
        }
      }
      ++frames;
      pos += length;
    }
  }
  double seconds = (double)(clock() - start) / CLOCKS_PER_SEC;
  printf("liba52 frames %ld seconds %.3f frames_per_s %.0f (checksum %g)\n", frames, seconds, frames / seconds,
         checksum);
  a52_free(state);
  free(data);
  return 0;
}
