#include "tests/e2e/harness.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/cp932.h"
#include "tests/support/pace.h"

namespace qrt::e2e {

namespace {

UINT sendTimeoutMs() { return static_cast<UINT>(test::paced(2000)); }

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// Other processes' windows are read by message, with a time-out, so a game
// stuck outside its message loop cannot hang the test.
std::wstring windowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, sendTimeoutMs(), &length))
    return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, sendTimeoutMs(), &copied))
    return {};
  text.resize(std::min<size_t>(copied, length));
  return text;
}

// The message of a box is its one static control that is not the icon.
BOOL CALLBACK findMessage(HWND child, LPARAM param) {
  if (_wcsicmp(className(child).c_str(), L"Static") != 0) return TRUE;
  if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
  *reinterpret_cast<std::wstring*>(param) = windowText(child);
  return FALSE;
}

std::wstring boxMessage(HWND box) {
  std::wstring text;
  EnumChildWindows(box, findMessage, reinterpret_cast<LPARAM>(&text));
  return text;
}

struct WindowSearch {
  DWORD processId;
  bool boxes;
  std::vector<HWND> found;
};

BOOL CALLBACK findWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if ((className(window) == L"#32770") == search->boxes) search->found.push_back(window);
  return TRUE;
}

// The game's visible top-level windows: its boxes, or all its other windows.
std::vector<HWND> topWindowsOf(DWORD processId, bool boxes) {
  WindowSearch search{processId, boxes, {}};
  EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ButtonSearch {
  std::vector<int> shown;  // ids of the buttons the player can see
  int marked = 0;          // the one drawn as the default
};

BOOL CALLBACK findButton(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<ButtonSearch*>(param);
  if (_wcsicmp(className(child).c_str(), L"Button") != 0 || !IsWindowVisible(child)) return TRUE;
  const int id = GetDlgCtrlID(child);
  search->shown.push_back(id);
  if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) search->marked = id;
  return TRUE;
}

// The button Enter would press. Some box implementations keep every button
// of every kind and hide the ones not asked for, so only shown ones count.
int defaultButton(HWND box) {
  ButtonSearch search;
  EnumChildWindows(box, findButton, reinterpret_cast<LPARAM>(&search));
  if (search.marked) return search.marked;
  DWORD_PTR id = 0;
  if (SendMessageTimeoutW(box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, sendTimeoutMs(), &id) &&
      HIWORD(id) == DC_HASDEFID &&
      std::find(search.shown.begin(), search.shown.end(), LOWORD(id)) != search.shown.end())
    return LOWORD(id);
  return search.shown.empty() ? IDOK : search.shown.front();
}

// Handles messages sent to this thread's own windows, so a game that sends
// them (activation changes) never waits on the test.
void pumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::string lastErrorText(const char* what) {
  return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

std::wstring folderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

GameRun::GameRun(const std::wstring& exePath, const RunOptions& options) : options_(options) {
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!options_.arguments.empty()) commandLine += L" " + options_.arguments;
  std::wstring folder = options_.workingFolder.empty() ? folderOf(exePath) : options_.workingFolder;
  startTick_ = GetTickCount();
  if (options_.debugEvents) {
    // The thread that starts a debugged process is the one that must answer
    // its events; it hands the process over once it has started it.
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    debugger_ = std::thread([this, exePath, commandLine, folder, started] {
      debug(exePath, commandLine, folder, started);
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
    return;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    result_.started = false;
    result_.error = lastErrorText("CreateProcess");
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  result_.started = true;
}

void GameRun::debug(const std::wstring& exePath, std::wstring commandLine, const std::wstring& folder,
                    HANDLE started) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    result_.started = false;
    result_.error = lastErrorText("CreateProcess");
    SetEvent(started);
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  result_.started = true;
  SetEvent(started);

  bool seenBreakpoint = false;
  DEBUG_EVENT event;
  for (;;) {
    if (!WaitForDebugEvent(&event, 1000)) {
      if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return;
      continue;
    }
    options_.debugEvents(event, process_);
    DWORD answer = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case EXCEPTION_DEBUG_EVENT:
        // The loader's first breakpoint is the debugger's own; every other
        // exception goes to the game's handlers as it would undebugged.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT || seenBreakpoint)
          answer = DBG_EXCEPTION_NOT_HANDLED;
        seenBreakpoint = true;
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer);
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) return;
  }
}

GameRun::~GameRun() {
  if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) kill();
  if (debugger_.joinable()) debugger_.join();
  if (process_) CloseHandle(process_);
}

void GameRun::answerBox(HWND box) {
  Box seen;
  seen.title = narrow932(windowText(box).c_str());
  seen.text = narrow932(boxMessage(box).c_str());
  seen.code = test::boxCode(seen.text);
  int button = options_.answer ? options_.answer(seen) : 0;
  if (button == 0) button = defaultButton(box);
  seen.button = button;
  // The box's own handling of a click on the button: it ends the dialog
  // whether or not the box is the active window.
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  result_.boxes.push_back(std::move(seen));
  answered_.push_back({box, result_.boxes.size() - 1, GetTickCount()});
}

void GameRun::noteClosedBoxes() {
  const DWORD now = GetTickCount();
  answered_.erase(std::remove_if(answered_.begin(), answered_.end(),
                                 [&](const Answered& a) {
                                   if (IsWindow(a.box)) return false;
                                   result_.boxes[a.index].closedAfterMs = static_cast<int>(now - a.at);
                                   return true;
                                 }),
                  answered_.end());
}

bool GameRun::poll() {
  if (!process_) return false;
  noteClosedBoxes();
  for (HWND box : topWindowsOf(processId_, true)) {
    if (std::none_of(answered_.begin(), answered_.end(), [&](const Answered& a) { return a.box == box; }))
      answerBox(box);
  }
  return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool GameRun::waitForWindow(int timeoutMs) {
  const DWORD start = GetTickCount();
  while (poll()) {
    if (!topWindowsOf(processId_, false).empty()) return true;
    if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return false;
    pause(10);
  }
  return false;
}

GameResult GameRun::finish() {
  if (!process_) return result_;
  while (poll()) {
    if (GetTickCount() - startTick_ > static_cast<DWORD>(options_.timeoutMs)) {
      kill();
      result_.timedOut = true;
      break;
    }
    pause(10);
  }
  noteClosedBoxes();
  // The debugger's last events are answered before anyone reads them.
  if (debugger_.joinable()) debugger_.join();
  DWORD exitCode = 0;
  GetExitCodeProcess(process_, &exitCode);
  result_.exitCode = exitCode;
  return result_;
}

void GameRun::kill() {
  if (!process_) return;
  TerminateProcess(process_, 0xDEAD);
  WaitForSingleObject(process_, 5000);
}

void GameRun::pause(DWORD ms) {
  MsgWaitForMultipleObjects(1, &process_, FALSE, ms, QS_ALLINPUT);
  pumpMessages();
}

bool GameRun::responding(int ms) {
  for (HWND window : topWindowsOf(processId_, false)) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(ms), &ignored))
      return false;
  }
  return true;
}


std::wstring hostFile(const std::string& unixPath) {
  // Wine's own mapping knows the prefix's drive letters; on Windows the
  // path is already a Windows path.
  using ToDos = WCHAR*(CDECL*)(const char*);
  auto toDos = reinterpret_cast<ToDos>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
  if (toDos && !unixPath.empty() && unixPath[0] == '/') {
    if (WCHAR* dos = toDos(unixPath.c_str())) {
      std::wstring path = dos;
      HeapFree(GetProcessHeap(), 0, dos);
      return path;
    }
  }
  std::wstring path(unixPath.begin(), unixPath.end());
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

namespace {

void removeTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        removeTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& name) {
  const std::wstring root = L"C:\\qrt-tests";
  CreateDirectoryW(root.c_str(), nullptr);
  path_ = root + L"\\" + std::wstring(name.begin(), name.end());
  removeTree(path_);
  if (!CreateDirectoryW(path_.c_str(), nullptr))
    throw std::runtime_error("cannot make a fresh C:\\qrt-tests\\" + name + " (a game still running there?)");
}

std::wstring ScratchFolder::copyIn(const std::wstring& source, const std::wstring& as) {
  const std::wstring name = as.empty() ? source.substr(source.find_last_of(L"\\/") + 1) : as;
  const std::wstring target = file(name);
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
    throw std::runtime_error(lastErrorText("copying a file into the scratch folder"));
  return target;
}

std::string utf8FromCp932(const std::string& text) {
  const std::wstring wide = widen932(text.c_str(), static_cast<int>(text.size()));
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> fileStems(const std::filesystem::path& folder, const std::string& extension) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.path().extension() == extension) names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qrt::e2e

namespace qrt::test {

GameResult runGame(const std::wstring& exePath, const e2e::RunOptions& options) {
  e2e::GameRun run(exePath, options);
  return run.finish();
}

GameResult runGame(const std::wstring& exePath, int timeoutMs) {
  e2e::RunOptions options;
  options.timeoutMs = timeoutMs;
  return runGame(exePath, options);
}

}  // namespace qrt::test
