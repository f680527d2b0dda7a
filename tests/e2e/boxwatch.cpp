// boxwatch [--timeout ms] [--cwd folder] game.exe [arguments...]
//
// Runs a game as a player would and answers its message boxes with their
// default button. Prints one line per box as it appears, then how the game
// ended:
//   BOX<TAB>title<TAB>text        (UTF-8; \n, \r, \t and \ escaped as \n \r \t \\)
//   EXIT <code>                   exits with the game's exit code
//   TIMEOUT                       the game was killed; exits with 124
//   ERROR <what>                  the game did not start; exits with 125
// Paths may be Windows paths or, under Wine, Linux paths.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/e2e/harness.h"

namespace {

std::string utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring windowsPath(const std::wstring& path) {
  return !path.empty() && path[0] == L'/' ? qrt::e2e::hostFile(utf8(path)) : path;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

// Quotes one argument so that the game's command-line parser gets it back.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else if (c == L'"') {
      out.append(backslashes + 1, L'\\');
      backslashes = 0;
    } else {
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, L'\\');
  return out + L"\"";
}

void say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

int usage() {
  std::fputs("usage: boxwatch [--timeout ms] [--cwd folder] game.exe [arguments...]\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  qrt::e2e::RunOptions options;
  int i = 1;
  for (; i < argc && std::wcsncmp(argv[i], L"--", 2) == 0; ++i) {
    const std::wstring flag = argv[i];
    if (i + 1 >= argc) return usage();
    if (flag == L"--timeout") {
      options.timeoutMs = _wtoi(argv[++i]);
    } else if (flag == L"--cwd") {
      options.workingFolder = windowsPath(argv[++i]);
    } else {
      return usage();
    }
  }
  if (i >= argc) return usage();
  const std::wstring game = windowsPath(argv[i++]);
  for (; i < argc; ++i) {
    if (!options.arguments.empty()) options.arguments += L' ';
    options.arguments += quoted(argv[i]);
  }

  options.answer = [](const qrt::e2e::Box& box) {
    say("BOX\t" + escaped(qrt::e2e::utf8FromCp932(box.title)) + "\t" +
        escaped(qrt::e2e::utf8FromCp932(box.text)));
    return 0;
  };
  const qrt::test::GameResult result = qrt::test::runGame(game, options);
  if (!result.started) {
    say("ERROR " + result.error + ": " + utf8(game));
    return 125;
  }
  if (result.timedOut) {
    say("TIMEOUT");
    return 124;
  }
  say("EXIT " + std::to_string(result.exitCode));
  return static_cast<int>(result.exitCode);
}
