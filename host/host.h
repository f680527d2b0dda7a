// The process entry of qrtrun: start-up, the message loop that steps the
// engine, and shutdown.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace qrt {

// The whole life of the process; returns its exit code.
int hostMain(HINSTANCE instance, const char* commandLine, int show);

// The steps of hostMain, in order, for callers that bring their own image
// (the in-process test runner uses them exactly as hostMain does).
bool hostOpenWindow(HINSTANCE instance, const char* commandLine, int show);  // state, records, folder, window
void hostCreateFamilies();                                                   // client rect, family records
void hostAttachImage(uint8_t* imageBase, uint32_t imageSize);
int hostMessageLoop();
void hostShutdown();             // idempotent
void hostAbandonWindow();        // silent start-up exit: destroy the window first

// The single-instance mutex name for an executable path: one copy per path,
// whatever its letter case, in a form the object namespace accepts.
std::wstring singleInstanceName(const char* path);

}  // namespace qrt
