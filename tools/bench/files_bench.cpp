// File throughput through the engine: F@READS over a 10 MB text file line
// by line, and F@WRITE of 1 MB byte by byte, each against a plain C++ loop
// doing the same with the C stream functions (fgets and the removal of the
// last byte; fputc), and against the same loops with the unlocked forms
// the engine uses. Every figure includes opening and closing the file.
//
//   files_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/cp932.h"
#include "tests/support/script.h"
#include "tools/bench/clock.h"

namespace {

constexpr uint32_t kReadBytes = 10u << 20;
constexpr uint32_t kWriteBytes = 1u << 20;

using qrt::bench::now;

size_t lineLength(uint32_t k) { return 10 + (k * 37) % 90; }

// A text file of CR LF lines from 10 to 99 characters; returns its lines.
uint32_t makeTextFile(const std::wstring& path) {
  std::FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return 0;
  uint32_t written = 0, lines = 0;
  std::string line;
  while (written < kReadBytes) {
    line.assign(lineLength(lines), static_cast<char>('a' + lines % 26));
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), f);
    written += static_cast<uint32_t>(line.size());
    ++lines;
  }
  std::fclose(f);
  return lines;
}

double timed(const std::function<void()>& work) {
  const double start = now();
  work();
  return now() - start;
}

double engineRead(const std::string& path, uint32_t lines) {
  qrt::test::Script s;
  const int zero = s.integer(0);
  const int h = s.call("F@OPEN", {s.text(path), zero, zero});
  const int line = s.slot();
  s.loop(static_cast<int32_t>(lines), [&] { s.callInto("F@READS", line, {h, zero}); });
  s.run("F@CLOSE", {h});
  qrt::test::Game game(s);
  const double t = timed([&] { game.runToEnd(); });
  if (game.text(line).size() != lineLength(lines - 1)) std::printf("the engine did not read every line\n");
  return t;
}

double plainRead(const std::wstring& path, uint32_t lines) {
  static char buffer[65536];
  return timed([&] {
    std::FILE* f = _wfopen(path.c_str(), L"r");
    uint32_t seen = 0;
    while (std::fgets(buffer, sizeof buffer, f)) {
      const size_t n = std::strlen(buffer);
      if (n) buffer[n - 1] = '\0';
      ++seen;
    }
    std::fclose(f);
    if (seen != lines) std::printf("plain loop read %u lines, not %u\n", seen, lines);
  });
}

// The same loops with the C library's unlocked forms, as the engine uses
// them: the cost of the engine itself.
double unlockedRead(const std::wstring& path) {
  static char buffer[65536];
  return timed([&] {
    std::FILE* f = _wfopen(path.c_str(), L"r");
    for (;;) {
      size_t n = 0;
      int c = 0;
      while (n < sizeof buffer - 1 && (c = _getc_nolock(f)) != EOF) {
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
      }
      if (n == 0) break;
      buffer[n - 1] = '\0';
    }
    std::fclose(f);
  });
}

double unlockedWrite(const std::wstring& path) {
  return timed([&] {
    std::FILE* f = _wfopen(path.c_str(), L"wb");
    for (uint32_t i = 0; i < kWriteBytes; ++i) _putc_nolock('q', f);
    std::fclose(f);
  });
}

double engineWrite(const std::string& path) {
  qrt::test::Script s;
  const int h = s.call("F@OPEN", {s.text(path), s.integer(3), s.integer(1)});
  const int value = s.integer('q');
  s.loop(static_cast<int32_t>(kWriteBytes), [&] { s.run("F@WRITE", {h, value}); });
  s.run("F@CLOSE", {h});
  qrt::test::Game game(s);
  const double t = timed([&] { game.runToEnd(); });
  WIN32_FILE_ATTRIBUTE_DATA written{};
  GetFileAttributesExW(qrt::widen932(path.c_str()).c_str(), GetFileExInfoStandard, &written);
  if (written.nFileSizeLow != kWriteBytes) std::printf("the engine did not write every byte\n");
  return t;
}

double plainWrite(const std::wstring& path) {
  return timed([&] {
    std::FILE* f = _wfopen(path.c_str(), L"wb");
    for (uint32_t i = 0; i < kWriteBytes; ++i) std::fputc('q', f);
    std::fclose(f);
  });
}

struct Range {
  double low = 1e300, high = 0;
  void add(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
};

void print(const char* what, const Range& rate, const Range* ratio = nullptr) {
  std::printf("%-44s %8.2f-%8.2f M/s", what, rate.low / 1e6, rate.high / 1e6);
  if (ratio) std::printf("   engine/this %.2f-%.2f", ratio->low, ratio->high);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  qrt::bench::warnWhenEmulated();
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring in = std::wstring(temp) + L"qrt_bench_lines.txt";
  const std::wstring out = std::wstring(temp) + L"qrt_bench_bytes.bin";
  const uint32_t lines = makeTextFile(in);
  if (!lines) {
    std::printf("cannot write %ls\n", in.c_str());
    return 1;
  }
  const std::string in932 = qrt::narrow932(in.c_str()), out932 = qrt::narrow932(out.c_str());
  std::printf("%u lines, %u bytes read; %u bytes written; %d runs\n", lines, kReadBytes, kWriteBytes, runs);

  Range readLines, readBytes, plainLines, plainBytes, readRatio, unlockedBytes, unlockedReadRatio;
  Range writeBytes, plainWriteBytes, writeRatio, unlockedWriteBytes, unlockedWriteRatio;
  for (int r = 0; r < runs; ++r) {
    const double tp = plainRead(in, lines), tu = unlockedRead(in), te = engineRead(in932, lines);
    plainLines.add(lines / tp);
    plainBytes.add(kReadBytes / tp);
    unlockedBytes.add(kReadBytes / tu);
    readLines.add(lines / te);
    readBytes.add(kReadBytes / te);
    readRatio.add(tp / te);
    unlockedReadRatio.add(tu / te);
    const double wp = plainWrite(out), wu = unlockedWrite(out), we = engineWrite(out932);
    plainWriteBytes.add(kWriteBytes / wp);
    unlockedWriteBytes.add(kWriteBytes / wu);
    writeBytes.add(kWriteBytes / we);
    writeRatio.add(wp / we);
    unlockedWriteRatio.add(wu / we);
  }
  print("F@READS, text mode: lines", readLines);
  print("  plain fgets loop: lines", plainLines, &readRatio);
  print("F@READS, text mode: bytes", readBytes);
  print("  plain fgets loop: bytes", plainBytes, &readRatio);
  print("  plain unlocked getc loop: bytes", unlockedBytes, &unlockedReadRatio);
  print("F@WRITE, binary mode: bytes", writeBytes);
  print("  plain fputc loop: bytes", plainWriteBytes, &writeRatio);
  print("  plain unlocked putc loop: bytes", unlockedWriteBytes, &unlockedWriteRatio);
  DeleteFileW(in.c_str());
  DeleteFileW(out.c_str());
  return 0;
}
