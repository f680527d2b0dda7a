// image_campaign: runs mutants of the seed games as game executables, each
// under a debugger and the box watcher, and says how each one ended.
//
//   image_campaign --runtime qrtrun.exe --demo demo.qim --folder WORK --out OUT
//                  [--count N] [--first K] [--step S] [--only K]
//
// Mutant K is mutant number K of seed K % the seed count (demo mutants
// sparser: they run for seconds). Every outcome is one line of OUT/results.tsv:
//   K  seed  outcome  detail  what-was-changed
// Outcomes: clean (ended, no box), box-601, box-NNN (another catalogue box),
// runs-on (still answering messages at the time-out), program-loop (stuck
// in the program's own native code), program-fault (a fault in the
// program's native code, which the runtime caught), and the findings: crash
// (a fault anywhere in the runtime's or the system's code, caught or not,
// or the process ended by an exception) and hang (stuck outside the
// program's code). Each finding's image is kept as OUT/findings/K-outcome.qim.
//
// --only K runs mutant K alone, prints the debugger's events and keeps its
// image as OUT/findings/K-outcome.qim, for qrtlink dump and check.
//
// Games run in WORK (which holds the demo's files); --step lets two
// campaigns share the numbers (--first 0 --step 2 and --first 1 --step 2).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "base/guard.h"
#include "tests/e2e/harness.h"
#include "tests/imagefuzz/mutate.h"
#include "tests/imagefuzz/seeds.h"
#include "image/image_builder.h"
#include "tools/imagetools/check.h"
#include "tools/imagetools/image_view.h"

namespace {

using namespace qrt;
using imagefuzz::Layout;
using imagefuzz::Mutant;

struct Seed {
  std::string name;
  std::vector<uint8_t> file;
  Layout layout;
  int timeoutMs;
};

enum class Place { Program, Runtime, System, Unknown };

const char* placeName(Place p) {
  switch (p) {
    case Place::Program: return "program";
    case Place::Runtime: return "runtime";
    case Place::System: return "system";
    default: return "unknown";
  }
}

// What the debugger saw of one game.
struct Watch {
  uint32_t runtimeBase = 0;
  HANDLE mainThread = nullptr;
  HANDLE process = nullptr;
  struct Fault {
    DWORD code;
    uint32_t address;
    Place place;
    bool firstChance;
  };
  std::vector<Fault> faults;
  std::vector<std::string> debugText;

  Place placeOf(uint32_t address) const {
    MEMORY_BASIC_INFORMATION m{};
    if (!VirtualQueryEx(process, reinterpret_cast<void*>(address), &m, sizeof m)) return Place::Unknown;
    if (m.Type == MEM_IMAGE)
      return reinterpret_cast<uint32_t>(m.AllocationBase) == runtimeBase ? Place::Runtime : Place::System;
    // The loader's buffer: private, executable memory holding the image.
    if (m.Type == MEM_PRIVATE && (m.Protect & (PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_READ))) return Place::Program;
    return Place::Unknown;
  }

  bool trace = false;   // every debug event to the standard error (--only)

  void onEvent(const DEBUG_EVENT& e, HANDLE game) {
    process = game;
    if (trace) {
      std::fprintf(stderr, "event %lu thread %lu", e.dwDebugEventCode, e.dwThreadId);
      if (e.dwDebugEventCode == EXCEPTION_DEBUG_EVENT)
        std::fprintf(stderr, " exception %08lX at %p first %lu", e.u.Exception.ExceptionRecord.ExceptionCode,
                     e.u.Exception.ExceptionRecord.ExceptionAddress, e.u.Exception.dwFirstChance);
      std::fprintf(stderr, "\n");
    }
    switch (e.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        runtimeBase = reinterpret_cast<uint32_t>(e.u.CreateProcessInfo.lpBaseOfImage);
        mainThread = e.u.CreateProcessInfo.hThread;
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& r = e.u.Exception.ExceptionRecord;
        // The faults the runtime's guard would catch; breakpoints are the
        // debugger's own.
        if (!isFaultCode(r.ExceptionCode) || r.ExceptionCode == EXCEPTION_BREAKPOINT) break;
        const auto address = reinterpret_cast<uint32_t>(r.ExceptionAddress);
        if (faults.size() < 16) faults.push_back({r.ExceptionCode, address, placeOf(address), e.u.Exception.dwFirstChance != 0});
        break;
      }
      case OUTPUT_DEBUG_STRING_EVENT: {
        const OUTPUT_DEBUG_STRING_INFO& d = e.u.DebugString;
        const size_t n = std::min<size_t>(d.nDebugStringLength, 400);
        std::string text;
        if (d.fUnicode) {
          std::wstring wide(n, L'\0');
          SIZE_T got = 0;
          ReadProcessMemory(game, d.lpDebugStringData, wide.data(), n * 2, &got);
          for (wchar_t c : wide.substr(0, got / 2)) text += c < 0x80 ? static_cast<char>(c) : '?';
        } else {
          text.resize(n);
          SIZE_T got = 0;
          ReadProcessMemory(game, d.lpDebugStringData, text.data(), n, &got);
          text.resize(got);
        }
        while (!text.empty() && (text.back() == '\0' || text.back() == '\n')) text.pop_back();
        if (text.rfind("qrtrun:", 0) == 0 && debugText.size() < 8) debugText.push_back(text);
        break;
      }
      default:
        break;
    }
  }

  // Where the game's main thread is now (it is stopped to look).
  Place stuckAt(uint32_t& eip) const {
    eip = 0;
    if (!mainThread || SuspendThread(mainThread) == static_cast<DWORD>(-1)) return Place::Unknown;
    CONTEXT c{};
    c.ContextFlags = CONTEXT_CONTROL;
    Place p = Place::Unknown;
    if (GetThreadContext(mainThread, &c)) {
      eip = c.Eip;
      p = placeOf(eip);
    }
    ResumeThread(mainThread);
    return p;
  }
};

using imgtools::hex8;

struct Outcome {
  std::string name;     // see the head of the file
  std::string detail;
  bool finding() const { return name == "crash" || name == "hang"; }
};

Outcome runMutant(const std::wstring& exe, int timeoutMs, bool trace) {
  Watch watch;
  watch.trace = trace;
  e2e::RunOptions options;
  options.timeoutMs = timeoutMs;
  options.debugEvents = [&](const DEBUG_EVENT& e, HANDLE process) { watch.onEvent(e, process); };
  e2e::GameRun run(exe, options);
  if (!run.started()) return {"not-run", "CreateProcess failed"};
  const DWORD start = GetTickCount();
  bool timedOut = false, responding = true;
  Place stuck = Place::Unknown;
  uint32_t eip = 0;
  while (run.poll()) {
    if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) {
      timedOut = true;
      responding = run.responding(test::paced(1000));
      if (!responding) stuck = watch.stuckAt(eip);
      run.kill();
      break;
    }
    run.pause(10);
  }
  const test::GameResult r = run.finish();

  for (const Watch::Fault& f : watch.faults) {
    if (f.place == Place::Program) continue;
    return {"crash", hex8(f.code) + " at " + hex8(f.address) + " (" + placeName(f.place) + ")" +
                         (f.firstChance ? "" : ", not handled") +
                         (watch.debugText.empty() ? "" : "; " + watch.debugText.front())};
  }
  if (timedOut) {
    if (responding) return {"runs-on", ""};
    if (stuck == Place::Program) return {"program-loop", "eip " + hex8(eip)};
    return {"hang", std::string("eip ") + hex8(eip) + " (" + placeName(stuck) + ")"};
  }
  if (r.exitCode >= 0xC0000000u) return {"crash", "exit code " + hex8(r.exitCode)};
  const bool programFault = !watch.faults.empty();
  if (!r.boxes.empty()) {
    const int code = r.boxes.front().code;
    std::string detail = e2e::utf8FromCp932(r.boxes.front().text);
    for (char& c : detail)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    if (programFault) detail = hex8(watch.faults.front().code) + " in the program's code; " + detail;
    if (programFault && code == 601) return {"program-fault", detail};
    return {code ? "box-" + std::to_string(code) : "box-other", detail};
  }
  if (programFault) return {"program-fault", "no box"};
  return {"clean", r.exitCode ? "exit " + std::to_string(r.exitCode) : ""};
}

std::wstring argPath(const wchar_t* arg) {
  std::wstring path = arg;
  if (!path.empty() && path[0] == L'/') {
    std::string narrow(path.begin(), path.end());
    return e2e::hostFile(narrow);
  }
  return path;
}

std::vector<uint8_t> readWide(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::vector<uint8_t> bytes(GetFileSize(f, nullptr));
  DWORD got = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  bytes.resize(got);
  return bytes;
}

bool writeWide(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(f);
  return ok;
}

// What qrtlink check says of a mutant: the faults it finds, or -1 when the
// file holds no image at all (a runtime without one just ends), so that
// each outcome can be set against it.
long long checkFaults(const std::vector<uint8_t>& file) {
  try {
    const auto image = imgtools::loadImage(file);
    return image ? static_cast<long long>(imgtools::checkImage(image->view()).faults()) : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

int usage() {
  std::fputs("usage: image_campaign --runtime EXE --demo IMAGE --folder WORK --out OUT [--count N] [--first K]"
             " [--step S] [--only K]\n",
             stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::map<std::wstring, std::wstring> args;
  for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
  if (!args.count(L"--runtime") || !args.count(L"--demo") || !args.count(L"--folder") || !args.count(L"--out"))
    return usage();
  const std::vector<uint8_t> runtime = readWide(argPath(args[L"--runtime"].c_str()));
  const std::wstring folder = argPath(args[L"--folder"].c_str()), out = argPath(args[L"--out"].c_str());
  const long long count = args.count(L"--count") ? _wtoi64(args[L"--count"].c_str()) : 10000;
  long long first = args.count(L"--first") ? _wtoi64(args[L"--first"].c_str()) : 0;
  const long long step = args.count(L"--step") ? std::max(1ll, _wtoi64(args[L"--step"].c_str())) : 1;
  long long last = first + count;
  if (args.count(L"--only")) {
    first = _wtoi64(args[L"--only"].c_str());
    last = first + 1;
  }

  std::vector<Seed> seeds;
  // Time-outs on a native machine, stretched by the bed's pace.
  for (imagefuzz::Seed& s : imagefuzz::builtSeeds())
    seeds.push_back({s.name, std::move(s.file), {}, test::paced(4000)});
  seeds.push_back({"demo", readWide(argPath(args[L"--demo"].c_str())), {}, test::paced(8000)});
  for (Seed& s : seeds) {
    s.layout = imagefuzz::layoutOf(s.file);
    if (s.file.empty() || s.layout.editable.empty()) {
      std::fprintf(stderr, "image_campaign: seed %s has no image\n", s.name.c_str());
      return 1;
    }
  }
  if (runtime.empty()) {
    std::fputs("image_campaign: no runtime\n", stderr);
    return 1;
  }
  CreateDirectoryW(out.c_str(), nullptr);
  CreateDirectoryW((out + L"\\findings").c_str(), nullptr);
  FILE* log = _wfopen((out + L"\\results.tsv").c_str(), L"ab");
  if (!log) return 1;

  const std::wstring exe = folder + L"\\mutant.exe";
  // Every seed as it is must run cleanly, or its mutants say nothing.
  for (const Seed& seed : seeds) {
    std::vector<uint8_t> game = runtime;
    game.insert(game.end(), seed.file.begin() + seed.layout.header, seed.file.end());
    // With time to spare: a busy machine must not fail the check.
    const Outcome o = writeWide(exe, game) ? runMutant(exe, 3 * seed.timeoutMs, false) : Outcome{"not-run", ""};
    if (o.name != "clean") {
      std::fprintf(stderr, "image_campaign: seed %s does not run cleanly: %s %s\n", seed.name.c_str(), o.name.c_str(),
                   o.detail.c_str());
      return 1;
    }
  }
  std::map<std::string, long long> totals;
  // The check against the runtime: a game that ran cleanly although check
  // found a fault means check is wrong; a 601 it did not foresee may come
  // from what only the run decides (element indexes, computed exits).
  long long cleanDespiteCheck = 0, unforeseen601 = 0;
  for (long long k = first; k < last; k += step) {
    // Nineteen of twenty mutants from the small seeds, one from the demo.
    const size_t small = seeds.size() - 1;
    const Seed& seed = k % 20 == 19 ? seeds.back() : seeds[static_cast<size_t>(k) % small];
    const Mutant m = imagefuzz::mutate(seed.file, seed.layout, static_cast<uint64_t>(k));
    Outcome o;
    std::vector<uint8_t> game = runtime;
    game.insert(game.end(), m.file.begin() + seed.layout.header, m.file.end());
    if (!writeWide(exe, game)) {
      o = {"not-run", "cannot write the executable"};
    } else {
      o = runMutant(exe, seed.timeoutMs, last - first == 1);
    }
    ++totals[o.name];
    const long long faults = checkFaults(m.file);
    cleanDespiteCheck += o.name == "clean" && faults > 0;
    unforeseen601 += o.name == "box-601" && faults == 0;
    std::fprintf(log, "%lld\t%s\t%s\t%s\t%s\tcheck %lld\n", k, seed.name.c_str(), o.name.c_str(), o.detail.c_str(),
                 m.what.c_str(), faults);
    std::fflush(log);
    if (o.finding() || last - first == 1) {   // a run of one keeps its image whatever became of it
      std::vector<uint8_t> image(m.file.begin() + seed.layout.header, m.file.end());
      writeWide(out + L"\\findings\\" + std::to_wstring(k) + L"-" + std::wstring(o.name.begin(), o.name.end()) + L".qim",
                image);
    }
    if (last - first == 1) std::printf("%lld %s %s %s\n", k, o.name.c_str(), o.detail.c_str(), m.what.c_str());
  }
  std::fclose(log);
  for (const auto& [name, n] : totals) std::printf("%s %lld\n", name.c_str(), n);
  std::printf("clean although check found a fault %lld\n601 that check did not foresee %lld\n", cleanDespiteCheck,
              unforeseen601);
  return 0;
}
