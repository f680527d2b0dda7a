#include "tests/support/program.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

#include "base/catalogue.h"
#include "base/errors.h"
#include "host/host.h"
#include "host/loader.h"
#include "base/runtime.h"

namespace qrt::test {

namespace {

std::vector<Box> g_boxes;
void (*g_onBox)() = nullptr;
uint8_t* g_buffer = nullptr;  // the placed image of the run in progress

void recorder(int code, const char* text) {
  g_boxes.push_back(Box{code, kErrorTitle, text});
  if (g_onBox) g_onBox();
}

// The image in executable memory, as the loader leaves it: the file's bytes
// followed by a line feed.
uint8_t* place(const std::vector<uint8_t>& file, uint32_t* imageSize) {
  auto size = static_cast<uint32_t>(file.size()) + 1;
  uint8_t* buffer = allocateExecutable(size);
  if (!buffer) throw std::runtime_error("no executable memory");
  memcpy(buffer, file.data(), file.size());
  buffer[file.size()] = '\n';
  int64_t header = findImageHeader(buffer, size);
  if (header < 0) {
    VirtualFree(buffer, 0, MEM_RELEASE);
    throw std::runtime_error("no image header");
  }
  g_buffer = buffer;
  auto base = static_cast<uint32_t>(header) + kImageHeaderSize;
  *imageSize = size - base;
  return buffer + base;
}

// The host and its families exist once per process: a second game opened
// while one is running would share (and then release) the first one's
// records.
bool g_open = false;

void open(const std::vector<uint8_t>& file) {
  if (g_open) throw std::logic_error("one game at a time: end the running Program first");
  recordBoxes();
  clearRecordedBoxes();
  if (!hostOpenWindow(GetModuleHandleW(nullptr), "", SW_SHOWNORMAL))
    throw std::runtime_error("cannot open the main window");
  hostCreateFamilies();
  uint32_t size = 0;
  uint8_t* base = place(file, &size);
  hostAttachImage(base, size);
  g_open = true;
}

void close() {
  g_open = false;
  hostShutdown();
  if (g_host.window) {
    HWND w = g_host.window;
    DestroyWindow(w);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  g_host.window = nullptr;
  if (g_buffer) VirtualFree(g_buffer, 0, MEM_RELEASE);
  g_buffer = nullptr;
}

VOID CALLBACK closeOnTimeout(HWND hwnd, UINT, UINT_PTR, DWORD) {
  KillTimer(hwnd, 1);
  *reinterpret_cast<bool*>(GetPropW(hwnd, L"qrt.test.timedOut")) = true;
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

}  // namespace

const std::vector<Box>& recordedBoxes() { return g_boxes; }
void clearRecordedBoxes() { g_boxes.clear(); }
void recordBoxes() { setErrorBoxSink(recorder); }

Program::Program(const std::vector<uint8_t>& file) { open(file); }

Program::~Program() { close(); }

bool Program::step() {
  if (ended_) return false;
  if (!engineStep(engine())) ended_ = true;
  // Let the window see its messages between steps, as the host loop does.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return !ended_;
}

int Program::runToEnd(int maxSteps) {
  int steps = 0;
  while (steps < maxSteps && step()) ++steps;
  return steps;
}

EngineState& Program::engine() {
  if (!engineState()) throw std::runtime_error("the engine state is gone");
  return *engineState();
}

uint32_t* Program::frame() { return engine().current; }
uint32_t Program::slot(int n) { return frame()[n]; }
std::string Program::text(int n) { return textOf(slot(n)); }
uint32_t Program::staticSlot(int n) { return engine().staticFirst[n]; }
std::string Program::staticText(int n) { return textOf(staticSlot(n)); }

std::vector<int> Program::boxCodes() const {
  std::vector<int> codes;
  for (const Box& b : recordedBoxes()) codes.push_back(b.code);
  return codes;
}

GameResult runGame(const std::vector<uint8_t>& file, int timeoutMs, void (*onBox)()) {
  open(file);
  g_onBox = onBox;
  GameResult result;
  SetPropW(g_host.window, L"qrt.test.timedOut", &result.timedOut);
  SetTimer(g_host.window, 1, static_cast<UINT>(timeoutMs), closeOnTimeout);
  result.exitCode = static_cast<uint32_t>(hostMessageLoop());
  result.boxes = recordedBoxes();
  g_onBox = nullptr;
  close();
  return result;
}

}  // namespace qrt::test
