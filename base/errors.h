// Error boxes from the two message catalogues.
//
// Every box is modal, owned by the main window, titled kErrorTitle
// (host/catalogue.h), and shows a cp932 text. Raising never ends anything by itself: the raiser
// returns its failure value and the dispatcher or the engine decides.
#pragma once
#include <cstdint>

namespace qrt {

// Catalogue lookup: the first row whose code matches, or nullptr.
const char* runtimeMessage(int code);
const char* loadMessage(int code);

// The four ways to raise.
void raiseError(int code);                          // 600, 601: the text unchanged
void raiseCommandError(int code, int commandId);    // the command's name replaces the comma
void raiseErrorText(int code, const char* text);    // the given text replaces the comma
void raiseLoadError(int code, const char* fileName, int line);  // fileName may be null

// Composition, without showing anything (the raisers use these).
// Results are truncated to their buffer sizes: 1024 for a command or a load
// error, 512 for a text or a plain error.
void composeCommandError(char* out, int code, const char* name, int nameLength);
void composeTextError(char* out, int code, const char* text);
void composeLoadError(char* out, int code, const char* fileName, int line);

// The seam where a composed box reaches the user. The product shows a
// message box; a test may put a recorder here. The text is cp932.
using ErrorBoxSink = void (*)(int code, const char* text);
void setErrorBoxSink(ErrorBoxSink sink);   // nullptr restores the real box
void showErrorBox(int code, const char* text);

}  // namespace qrt
