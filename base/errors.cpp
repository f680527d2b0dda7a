#include "base/errors.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/catalogue.h"
#include "base/cp932.h"
#include "base/runtime.h"
#include "base/vocabulary.h"

namespace qrt {

namespace {

constexpr size_t kCommandBuffer = 1024;
constexpr size_t kTextBuffer = 512;
constexpr size_t kLoadBuffer = 1024;

ErrorBoxSink g_sink = nullptr;

const char* find(const CatalogueRow* rows, int code) {
  for (const CatalogueRow* r = rows; r->code != 0 || r->text[0] != 0; ++r)
    if (r->code == code) return r->text;
  return nullptr;
}

// Appends bytes to a bounded buffer, keeping room for the NUL; a text that
// does not fit is cut, never at the middle of a double-byte character.
struct Writer {
  char* out;
  size_t capacity;
  size_t used = 0;
  void append(const char* text, size_t length) {
    const std::string_view t(text, length);
    for (size_t i = 0; i < length && used + 1 < capacity;) {
      const size_t width = charWidth932(t, i);
      if (used + width + 1 > capacity) break;
      memcpy(out + used, text + i, width);
      used += width;
      i += width;
    }
    out[used] = 0;
  }
  void append(const char* text) { append(text, strlen(text)); }
};

void composeWithName(char* out, size_t capacity, int code, const char* name, size_t nameLength) {
  Writer w{out, capacity};
  out[0] = 0;
  const char* message = runtimeMessage(code);
  if (!message) return;
  const char* comma = strchr(message, ',');
  if (!comma) {
    w.append(message);
    return;
  }
  w.append(message, static_cast<size_t>(comma - message));
  w.append(name, nameLength);
  w.append(comma + 1);
}

}  // namespace

const char* runtimeMessage(int code) { return find(kRuntimeCatalogue, code); }
const char* loadMessage(int code) { return find(kLoadCatalogue, code); }

void composeCommandError(char* out, int code, const char* name, int nameLength) {
  composeWithName(out, kCommandBuffer, code, name, static_cast<size_t>(nameLength));
}

void composeTextError(char* out, int code, const char* text) {
  composeWithName(out, kTextBuffer, code, text ? text : "", text ? strlen(text) : 0);
}

void composeLoadError(char* out, int code, const char* fileName, int line) {
  Writer w{out, kLoadBuffer};
  out[0] = 0;
  const char* message = loadMessage(code);
  if (!message) return;
  w.append(message);
  w.append(kLineLabel);
  if (fileName) {
    char number[16];
    snprintf(number, sizeof number, "%d", line);
    w.append(number);
    w.append(kFileLabel);
    w.append(fileName);
  }
}

void setErrorBoxSink(ErrorBoxSink sink) { g_sink = sink; }

void showErrorBox(int code, const char* text) {
  if (g_sink) {
    g_sink(code, text);
    return;
  }
  MessageBoxW(g_host.window, widen932(text).c_str(), widen932(kErrorTitle).c_str(), MB_OK);
}

void raiseError(int code) {
  char text[kTextBuffer];
  composeTextError(text, code, "");
  showErrorBox(code, text);
}

void raiseCommandError(int code, int commandId) {
  char text[kCommandBuffer];
  const char* name = "";
  int length = 0;
  if (commandId >= 0 && commandId < kCommandCount) {
    name = kCommands[commandId].name;
    length = static_cast<int>(strlen(name));
  }
  composeCommandError(text, code, name, length);
  showErrorBox(code, text);
}

void raiseErrorText(int code, const char* textToInsert) {
  char text[kTextBuffer];
  composeTextError(text, code, textToInsert);
  showErrorBox(code, text);
}

void raiseLoadError(int code, const char* fileName, int line) {
  char text[kLoadBuffer];
  composeLoadError(text, code, fileName, line);
  showErrorBox(code, text);
}

}  // namespace qrt
