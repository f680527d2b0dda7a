/* The language benchmark's kernels in C, the same work as kernels.qrs,
   timed with timeGetTime like the script's SYSTIME. */
#include <stdio.h>
#include <windows.h>

static int flags[1000001];

static int sieve(int n) {
  int count = 0;
  for (int i = 2; i <= n; ++i) flags[i] = 0;
  for (int i = 2; i <= n; ++i) {
    if (flags[i] == 0) {
      ++count;
      for (int j = i * 2; j <= n; j += i) flags[j] = 1;
    }
  }
  return count;
}

static int m[300][300], v[300];

static int nested(int n) {
  int s = 0;
  for (int i = 0; i < n; ++i) {
    v[i] = i % 7;
    for (int j = 0; j < n; ++j) m[i][j] = i + j;
  }
  for (int r = 1; r <= 20; ++r)
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) s += m[i][j] * v[j];
  return s;
}

static int mandel(int w, int h, int limit) {
  int total = 0;
  for (int y = 0; y < h; ++y) {
    float ci = (float)y * 2.0f / (float)h - 1.0f;
    for (int x = 0; x < w; ++x) {
      float cr = (float)x * 3.0f / (float)w - 2.0f;
      float zr = 0, zi = 0;
      int k;
      for (k = 1; k <= limit; ++k) {
        float zr2 = zr * zr, zi2 = zi * zi;
        if (zr2 + zi2 > 4.0f) break;
        zi = 2.0f * zr * zi + ci;
        zr = zr2 - zi2 + cr;
      }
      total += k;
    }
  }
  return total;
}

static int fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }

/* The sizes come through volatile variables, so that the compiler cannot
   work a kernel out once for all its repetitions. */
#define REPEAT 20
volatile int sieveSize = 1000000, nestedSize = 300, width = 320, height = 240, limit = 100, fibOf = 27;

int main(void) {
  FILE* out = fopen("bench.txt", "w");
  for (int round = 1; round <= 3; ++round) {
    DWORD t = timeGetTime();
    int r = 0;
    for (int rep = 1; rep <= REPEAT; ++rep) r += sieve(sieveSize);
    fprintf(out, "sieve %lu %d\n", timeGetTime() - t, r);
    t = timeGetTime();
    r = 0;
    for (int rep = 1; rep <= REPEAT; ++rep) r += nested(nestedSize);
    fprintf(out, "nested %lu %d\n", timeGetTime() - t, r);
    t = timeGetTime();
    r = 0;
    for (int rep = 1; rep <= REPEAT; ++rep) r += mandel(width, height, limit);
    fprintf(out, "mandel %lu %d\n", timeGetTime() - t, r);
    t = timeGetTime();
    r = 0;
    for (int rep = 1; rep <= REPEAT; ++rep) r += fib(fibOf);
    fprintf(out, "fib %lu %d\n", timeGetTime() - t, r);
  }
  fclose(out);
  return 0;
}
