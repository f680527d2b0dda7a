// What a script learns of the machine and leaves on it: system names and
// folders, the command line, a registry value, the instance check, ending
// the Windows session and port output. Texts cross the platform boundary
// as UTF-16, converted from and to cp932 here.
#include <windows.h>
#include <lmcons.h>

#include <string>
#include <string_view>

#include "base/cp932.h"
#include "base/object_name.h"
#include "base/runtime.h"
#include "engine/call.h"
#include "system/commands.h"
#include "system/system.h"

namespace qrt {

namespace {

constexpr wchar_t kRegistryKey[] = L"Software\\VELMORAK\\QRT";

// A name or folder a platform call left in a wide buffer, as the script's
// string; the empty string when the call failed.
int32_t wideResult(Call& c, const wchar_t* text) { return c.text(narrow932(text)); }

int32_t folderResult(Call& c, UINT(WINAPI* query)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT n = query(folder, MAX_PATH + 1);
  return wideResult(c, n > 0 && n <= MAX_PATH ? folder : L"");
}

// The object namespace takes a backslash only after a session namespace;
// any other would make the platform refuse the name, and every check
// would then report another copy running.
std::wstring instanceMutexName(const char* name) {
  std::wstring wide = widen932(name);
  for (const std::wstring_view ns : {L"Global\\", L"Local\\"})
    if (wide.starts_with(ns)) return kernelObjectName(std::wstring(ns), wide.substr(ns.size()));
  return kernelObjectName(L"", std::move(wide));
}

}  // namespace

// The value's data are the text without its terminating zero.
int32_t cmdSRegSet(Call& c) {
  const std::wstring name = widen932(c.s(0)), text = widen932(c.s(1));
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return kDone;
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                 static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  return kDone;
}

// No shutdown privilege is asked for: a session that does not grant it to
// the game keeps running.
int32_t cmdSWinExit(Call& c) {
  static constexpr UINT kModes[] = {EWX_LOGOFF, EWX_POWEROFF, EWX_REBOOT, EWX_SHUTDOWN};
  const int32_t mode = c.i(0), force = c.i(1);
  if (force != 0 && force != 1) return c.fail(660);
  if (mode < 0 || mode > 3) return c.fail(660);
  ExitWindowsEx(kModes[mode] | (force ? EWX_FORCE : 0), 0);
  return kDone;
}

int32_t cmdSWinVerGet(Call& c) {
  const int32_t item = c.i(0);
  if (item < 0 || item > 3) return c.fail(660, 0);
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExW(&v)) return 0;
  const DWORD items[] = {v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.dwPlatformId};
  return static_cast<int32_t>(items[item]);
}

int32_t cmdSUserNameGet(Call& c) {
  wchar_t name[UNLEN + 1] = {};
  DWORD size = UNLEN + 1;
  return wideResult(c, GetUserNameW(name, &size) ? name : L"");
}

int32_t cmdSComNameGet(Call& c) {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return wideResult(c, GetComputerNameW(name, &size) ? name : L"");
}

int32_t cmdSWinDirGet(Call& c) { return folderResult(c, GetWindowsDirectoryW); }

int32_t cmdSWinSysDirGet(Call& c) { return folderResult(c, GetSystemDirectoryW); }

// The command line after the program's own name, as the host keeps it.
int32_t cmdSParam(Call& c) { return c.text(g_host.rt.commandLine); }

int32_t cmdSSysParm(Call& c) {
  const std::string_view line = g_host.rt.commandLine;
  return c.text(line.substr(0, lastCharStart932(line)));
}

// 1 for the first copy to ask under the name, 0 when another holds it. The
// first copy's mutex is kept until the program ends, so a second check in
// this process finds it too; any other handle is closed at once (a game
// that checks every frame must not pile them up).
int32_t cmdSSysActChk(Call& c) {
  if (c.empty(0)) return c.fail(660, -1);
  const std::wstring name = instanceMutexName(c.s(0));
  SetLastError(0);
  ObjectHandle mutex(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (!mutex) return 0;
  const bool first = GetLastError() == 0;
  if (!first) return 0;
  if (SystemRecord* r = systemRecord())
    r->instanceMutexes.push_back(std::move(mutex));
  else
    mutex.release();  // no record to keep it in: the process holds it
  return 1;
}

int32_t cmdSSysActLook(Call&) { return kDone; }

// The port-output instruction is privileged on every system this runs on
// (NT-family Windows, and Wine): it would fault and end the process. A
// game's port output goes nowhere.
int32_t cmdSOutP(Call&) { return kDone; }

}  // namespace qrt
