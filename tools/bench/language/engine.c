/* The work of engine.qrs in plain C (with the C library's string calls
   where the script joins, compares and cuts), timed with timeGetTime. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define N 20000000

volatile int sink;
char s[128];

__attribute__((noinline)) static int add(int a, int b) { return a + b; }

int main(void) {
  FILE* out = fopen("bench.txt", "w");
  /* Texts the compiler cannot see through, as the script's are. */
  static char textA[17], textB[17];
  strcpy(textA, "0123456789abcdef");
  strcpy(textB, textA);
  char* volatile pa = textA;
  char* volatile pb = textB;
  const char* a = pa;
  const char* b = pb;
  for (int round = 1; round <= 3; ++round) {
    DWORD t = timeGetTime();
    for (int i = 1; i <= N; ++i) sink = i;
    fprintf(out, "loop %lu %d\n", timeGetTime() - t, N);
    t = timeGetTime();
    for (int i = 1; i <= N; ++i) sink = add(i, 1);
    fprintf(out, "call %lu %d\n", timeGetTime() - t, N);
    t = timeGetTime();
    for (int i = 1; i <= N; ++i) {
      strcpy(s, a);
      sink = s[0];
    }
    fprintf(out, "store %lu %d\n", timeGetTime() - t, N);
    t = timeGetTime();
    for (int i = 1; i <= N; ++i) {
      strcpy(s, a);
      strcat(s, b);
      sink = s[0];
    }
    fprintf(out, "join %lu %d\n", timeGetTime() - t, N);
    t = timeGetTime();
    int k = 0;
    for (int i = 1; i <= N; ++i)
      if (strcmp(a, b) == 0) sink = ++k;
    fprintf(out, "compare %lu %d\n", timeGetTime() - t, N);
    t = timeGetTime();
    for (int i = 1; i <= N; ++i) sink = abs(i - 5);
    fprintf(out, "abs %lu %d\n", timeGetTime() - t, N);
    t = timeGetTime();
    for (int i = 1; i <= N; ++i) {
      memcpy(s, a + 1, 8);
      s[8] = 0;
      sink = s[0];
    }
    fprintf(out, "mid %lu %d\n", timeGetTime() - t, N);
  }
  fclose(out);
  return 0;
}
