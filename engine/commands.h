// The built-in command table: the program's vocabulary of 231 commands.
// One row per id holds the name, signature, flags and handler; the command
// records, the dispatcher and the error messages all read from it.
#pragma once
#include <cstdint>

namespace qrt {

struct EngineState;

constexpr int kCommandCount = 231;

// A handler reads its arguments from e.params.arg[0..7] in signature order
// and returns one 32-bit value (integer, real bit pattern, string object
// address, or a success flag). A command that hands control back to the
// message loop sets e.yieldRequested.
using CommandHandler = int32_t (*)(EngineState& e);

struct CommandRow {
  int32_t id;
  const char* name;
  const char* signature;   // result letter, then one letter per parameter
  int32_t flags;           // byte 0: requires setup; byte 1: result check
  CommandHandler handler;
};

// Type codes of signature letters in a command record.
enum TypeCode : uint8_t { kTypeNone = 0, kTypeInt = 1, kTypeString = 2, kTypeReal = 3 };

struct CommandRecord {
  int32_t id;
  int16_t signatureLength;
  int8_t requiresSetup;
  int8_t resultCheck;
  uint8_t types[12];
  int32_t nameLength;
  const char* name;
};
static_assert(sizeof(CommandRecord) == 28, "command record is 28 bytes");

extern const CommandRow kCommandTable[kCommandCount];

// Fills the 231 records from the table (start-up).
void buildCommandRecords(CommandRecord* records);

// The failure value of a result check, and whether it has one.
bool resultCheckFails(int8_t check, int32_t value);

// Placeholder for families that are not built yet: error 601.
int32_t commandNotBuilt(EngineState& e);

// Dispatches op 3 at the current pc. Returns false when the step must end
// with false (the program ends); sets e.yieldRequested when it yields.
bool dispatchBuiltIn(EngineState& e);

}  // namespace qrt
