// The built-in command vocabulary: 231 rows of id, name, signature and
// flags, in id order (id = row index). It is the one place commands are
// declared; the dispatcher, the error boxes, the image builder, the tests
// and the tools all read it. Header only and constexpr, so that
// commandId("G@SETUP") is a compile-time constant.
//
// Signature: the result letter, then one letter per parameter; N none,
// S integer, F real, M string. Flags: byte 0 is the requires-setup flag,
// byte 1 the result check (1 or 2: 0 fails, 3: 100, 4: -1, 5: 32767).
#pragma once
#include <cstdint>
#include <string_view>

namespace qrt {

constexpr int kCommandCount = 231;

struct CommandInfo {
  int32_t id;
  const char* name;
  const char* signature;
  int32_t flags;

  constexpr std::string_view nameView() const { return name; }
  constexpr int parameterCount() const { return static_cast<int>(std::string_view(signature).size()) - 1; }
  constexpr char resultLetter() const { return signature[0]; }
  constexpr char parameterLetter(int n) const { return signature[n + 1]; }
  constexpr bool requiresSetup() const { return (flags & 0xFF) == 1; }
  constexpr int resultCheck() const { return (flags >> 8) & 0xFF; }
};

// clang-format off
inline constexpr CommandInfo kCommands[kCommandCount] = {
    // id   name                   signature     flags
    {0,   "XYZ@NOP",             "N",         0x000},
    {1,   "G@SETUP",             "SSSSS",     0x100},
    {2,   "G@DISPMODEGET",       "SSS",       0x001},
    {3,   "G@DISPMODECOUNT",     "S",         0x001},
    {4,   "G@WINDOWSET",         "NS",        0x200},
    {5,   "G@PRINT",             "NSSSM",     0x201},
    {6,   "G@FONT",              "NSSSSM",    0x200},
    {7,   "G@COLOR",             "NSSS",      0x100},
    {8,   "G@COLORA",            "NSSSS",     0x100},
    {9,   "G@FLIP",              "N",         0x201},
    {10,  "G@CHRCLEAR",          "NSSSS",     0x201},
    {11,  "G@CHRLOAD",           "SMM",       0x101},
    {12,  "G@RELEASE",           "NS",        0x201},
    {13,  "G@CHRCOPY",           "NSSSFF",    0x201},
    {14,  "G@CHRCOPYF",          "NSSSFF",    0x201},
    {15,  "G@CHRCOPYC",          "NSSSSSFF",  0x201},
    {16,  "G@CHRCOPY2",          "NSSFSFF",   0x201},
    {17,  "G@CHRCOPYF2",         "NSSFSFF",   0x201},
    {18,  "G@CHRCOPYC2",         "NSSSSFSFF", 0x201},
    {19,  "G@CHRRECT",           "NSSSSS",    0x201},
    {20,  "G@CHRSAVE",           "NSMMS",     0x201},
    {21,  "G@CHRMAKE",           "SSSS",      0x101},
    {22,  "G@CHRLOADCKEY",       "NSSS",      0x001},
    {23,  "G@CHRCOLORA",         "NSSSSS",    0x001},
    {24,  "G3@ADD",              "NSS",       0x201},
    {25,  "G3@DELETE",           "NSS",       0x201},
    {26,  "G3@RELEASE",          "NS",        0x201},
    {27,  "G3@RENDER",           "NSS",       0x201},
    {28,  "G3@DEVSETVIEWPORT",   "NSSSSFF",   0x201},
    {29,  "G3@CAMERASETEYE",     "NFFF",      0x001},
    {30,  "G3@CAMERASETLOOK",    "NFFF",      0x001},
    {31,  "G3@CAMERASETUP",      "NFFF",      0x001},
    {32,  "G3@CAMERASETFOV",     "NF",        0x001},
    {33,  "G3@CAMERASETPRO",     "NFF",       0x001},
    {34,  "G3@LIGHTMAKE",        "SSFFF",     0x101},
    {35,  "G3@LIGHTSETENABLE",   "NSS",       0x201},
    {36,  "G3@LIGHTSETCOLOR",    "NSFFF",     0x201},
    {37,  "G3@LIGHTSETDIR",      "NSFFF",     0x201},
    {38,  "G3@LIGHTSETPOS",      "NSFFF",     0x201},
    {39,  "G3@LIGHTSETRANGE",    "NSF",       0x201},
    {40,  "G3@LIGHTSETUMBRA",    "NSFF",      0x201},
    {41,  "G3@LIGHTSETAT",       "NSFFF",     0x201},
    {42,  "G3@FRMSETFOGMODE",    "NSS",       0x201},
    {43,  "G3@FRMSETFOGCOLOR",   "NSFFFF",    0x201},
    {44,  "G3@FRMSETFOGSTART",   "NSF",       0x201},
    {45,  "G3@FRMSETFOGEND",     "NSF",       0x201},
    {46,  "G3@FRMSETFOGDENSITY", "NSF",       0x201},
    {47,  "G3@FRMLOAD",          "SM",        0x101},
    {48,  "G3@FRMSETPOS",        "NSFFF",     0x201},
    {49,  "G3@FRMSETPOSREL",     "NSFFF",     0x201},
    {50,  "G3@FRMSETPOSAUTO",    "NSFFF",     0x201},
    {51,  "G3@FRMSETROT",        "NSFFF",     0x201},
    {52,  "G3@FRMSETROTREL",     "NSFFF",     0x201},
    {53,  "G3@FRMSETROTAUTO",    "NSFFF",     0x201},
    {54,  "G3@FRMSETSCALE",      "NSFFF",     0x201},
    {55,  "G3@FRMSETENABLE",     "NSS",       0x201},
    {56,  "G3@FRMSETCULL",       "NSS",       0x201},
    {57,  "G3@FRMSETSHADE",      "NSS",       0x201},
    {58,  "G3@FRMSETFILTER",     "NSS",       0x201},
    {59,  "G3@FRMSETLIGHTD",     "NSS",       0x201},
    {60,  "G3@FRMSETLIGHTS",     "NSS",       0x201},
    {61,  "G3@FRMSETTEXENABLE",  "NSSS",      0x201},
    {62,  "G3@FRMSETBLEND",      "NSSS",      0x201},
    {63,  "G3@FRMSETAMBIENT",    "NSFFF",     0x201},
    {64,  "G3@FRMSETFSAA",       "NSS",       0x201},
    {65,  "G3@FRMSETVERTEX",     "NSS",       0x201},
    {66,  "G3@FRMMAKESPHERE",    "SFSS",      0x101},
    {67,  "G3@FRMMAKETEAPOT",    "S",         0x101},
    {68,  "G3@FRMMAKEBOX",       "SFFF",      0x101},
    {69,  "G3@FRMMAKECYLINDER",  "SFFFSS",    0x101},
    {70,  "G3@FRMMAKETORUS",     "SFFSS",     0x101},
    {71,  "G3@FRMMAKETEXT",      "SMFF",      0x101},
    {72,  "G3@FRMMAKEBOARD",     "SSS",       0x101},
    {73,  "G3@FRMFONT",          "NSSSSM",    0x201},
    {74,  "G3@FRMSETMCOLOR",     "NSFFFF",    0x101},
    {75,  "G3@FRMSETANI",        "NSSSF",     0x201},
    {76,  "G3@FRMSETANICHG",     "NSSSF",     0x201},
    {77,  "G3@FRMSETANIEND",     "NS",        0x201},
    {78,  "G3@FRMADDANITIME",    "NSF",       0x201},
    {79,  "G3@FRMGETANINUM",     "SSM",       0x001},   // position 0 is an answer, not a failure
    {80,  "G3@FRMGETANIACT",     "SS",        0x401},
    {81,  "G3@FRMGETRAY",        "SSFFFFFF",  0x501},
    {82,  "G3@FRMGETRAYDATA",    "FSS",       0x501},
    {83,  "G3@FRMGETCHR",        "SS",        0x101},
    {84,  "G3@FRMGETDATAX",      "SS",        0x001},
    {85,  "G3@FRMGETDATAY",      "SS",        0x001},
    {86,  "G3@FRMGETDATAZ",      "FS",        0x001},
    {87,  "G3@FRMGETDATAMX",     "FS",        0x001},
    {88,  "G3@FRMGETDATAMY",     "FS",        0x001},
    {89,  "G3@FRMGETDATAMZ",     "FS",        0x001},
    {90,  "G3@FRMSETBILL",       "NSS",       0x201},
    {91,  "I@JOYGET",            "SS",        0x000},
    {92,  "I@JOYAPOS",           "SSS",       0x300},
    {93,  "I@JOYDPOS",           "SSS",       0x300},
    {94,  "I@JOYBTN",            "SSS",       0x300},
    {95,  "I@KEYGET",            "N",         0x200},
    {96,  "I@KEYBTN",            "SS",        0x400},
    {97,  "I@MSGET",             "NS",        0x200},
    {98,  "I@MSBTN",             "SS",        0x500},
    {99,  "I@MSPOS",             "SS",        0x500},
    {100, "I@KEYGET2",           "N",         0x200},
    {101, "I@KEYBTN2",           "SS",        0x400},
    {102, "STR",                 "MSS",       0x100},
    {103, "STRF",                "MFS",       0x100},
    {104, "RAND",                "S",         0x000},
    {105, "RANDF",               "F",         0x000},
    {106, "SYSTIME",             "S",         0x000},
    {107, "CHDIR",               "NM",        0x200},
    {108, "CHDRIVE",             "NS",        0x200},
    {109, "ABS",                 "SS",        0x000},
    {110, "ABSF",                "FF",        0x000},
    {111, "ASIN",                "FF",        0x000},
    {112, "ACOS",                "FF",        0x000},
    {113, "ATAN",                "FF",        0x000},
    {114, "COS",                 "FF",        0x000},
    {115, "SIN",                 "FF",        0x000},
    {116, "TAN",                 "FF",        0x000},
    {117, "SGN",                 "SS",        0x000},
    {118, "SGNF",                "SF",        0x000},
    {119, "POW",                 "FFF",       0x000},
    {120, "EXP",                 "FF",        0x000},
    {121, "LOG",                 "FF",        0x000},
    {122, "LOG10",               "FF",        0x000},
    {123, "SQRT",                "FF",        0x000},
    {124, "GETDATE",             "SSS",       0x000},
    {125, "LENG",                "SM",        0x000},
    {126, "MID",                 "MMSS",      0x200},
    {127, "MAX",                 "SSS",       0x000},
    {128, "MAXF",                "FFF",       0x000},
    {129, "MIN",                 "SSS",       0x000},
    {130, "MINF",                "FFF",       0x000},
    {131, "ATOI",                "SM",        0x000},
    {132, "ATOF",                "FM",        0x000},
    {133, "CHR",                 "MS",        0x100},
    {134, "ASC",                 "SM",        0x400},
    {135, "REDIM",               "SS",        0x100},
    {136, "REDIMFREE",           "NS",        0x000},
    {137, "RANDSET",             "NS",        0x000},
    {138, "LSET",                "MMS",       0x000},
    {139, "SYSEXIT",             "N",         0x000},
    {140, "SYSEXITKEY",          "NS",        0x000},
    {141, "S@WAIT",              "N",         0x000},
    {142, "S@MSG",               "SMMSSS",    0x000},
    {143, "S@REGSET",            "NMM",       0x000},
    {144, "S@TITLESET",          "NM",        0x000},
    {145, "S@WINEXIT",           "NSS",       0x200},
    {146, "S@WINVERGET",         "SS",        0x000},
    {147, "S@USERNAMEGET",       "M",         0x000},
    {148, "S@COMNAMEGET",        "M",         0x000},
    {149, "S@WINDIRGET",         "M",         0x000},
    {150, "S@WINSYSDIRGET",      "M",         0x000},
    {151, "S@WINOPEN",           "N",         0x000},
    {152, "S@WINCLOSE",          "N",         0x000},
    {153, "S@WINCLOSECHK",       "S",         0x000},
    {154, "S@WINZOOMCHK",        "S",         0x000},
    {155, "S@WINACTCHK",         "S",         0x000},
    {156, "S@PARAM",             "M",         0x000},
    {157, "S@SYSACTCHK",         "SM",        0x400},
    {158, "S@SYSACTLOOK",        "N",         0x000},
    {159, "S@BACKGROUND",        "NS",        0x200},
    {160, "S@SYSPARM",           "M",         0x000},
    {161, "S@SLEEP",             "NS",        0x000},
    {162, "S@OUTP",              "NSS",       0x000},
    {163, "S@IMESETMODE",        "NS",        0x400},
    {164, "S@IMEGETMODE",        "S",         0x000},
    {165, "S@IMEGETSTR",         "MS",        0x000},
    {166, "S@IMEGETSTATE",       "SS",        0x000},
    {167, "S@IMEGETRESULT",      "M",         0x400},
    {168, "S@IMEGETLIST",        "MS",        0x000},
    {169, "S@IMESETSELECT",      "NS",        0x000},
    {170, "S@IMESETEDITMODE",    "NS",        0x400},
    {171, "S@IMEGETEDITSTR",     "MS",        0x000},
    {172, "S@IMEGETEDITSTATE",   "SS",        0x000},
    {173, "S@IMEGETEDITRESULT",  "M",         0x000},
    {174, "S@IMEGETEDITCOLUMN",  "S",         0x000},
    {175, "S@KANJICHK",          "SM",        0x000},
    {176, "S@IMESETEDITLEN",     "NS",        0x000},
    {177, "M@LOAD",              "SM",        0x100},
    {178, "M@PLAY",              "NS",        0x200},
    {179, "M@PAUSE",             "NS",        0x200},
    {180, "M@STOP",              "NS",        0x200},
    {181, "M@RELEASE",           "NS",        0x200},
    {182, "M@TEMPO",             "NSF",       0x200},
    {183, "M@RTIME",             "SS",        0x400},
    {184, "M@VOL",               "NSS",       0x200},
    {185, "M@PAN",               "NSS",       0x200},
    {186, "M@LTIME",             "SS",        0x400},
    {187, "W@LOAD",              "SM",        0x100},
    {188, "W@PLAY",              "NSS",       0x200},
    {189, "W@RELEASE",           "NS",        0x200},
    {190, "W@STOP",              "NS",        0x200},
    {191, "W@PAUSE",             "NS",        0x200},
    {192, "W@TEMPO",             "NSF",       0x200},
    {193, "W@VOL",               "NSS",       0x200},
    {194, "W@PAN",               "NSS",       0x200},
    {195, "F@OPEN",              "SMSS",      0x000},
    {196, "F@CLOSE",             "NS",        0x000},
    {197, "F@READ",              "SS",        0x000},
    {198, "F@WRITE",             "NSS",       0x000},
    {199, "F@RENAME",            "SMM",       0x000},
    {200, "F@DELETE",            "SM",        0x000},
    {201, "F@LENG",              "SS",        0x000},
    {202, "F@WRITES",            "NSM",       0x000},
    {203, "F@READS",             "MSS",       0x000},
    {204, "F@FILECOPY",          "SMMS",      0x000},
    {205, "F@DIRMAKE",           "SM",        0x000},
    {206, "F@DIRREL",            "SM",        0x000},
    {207, "MM@CDOPEN",           "N",         0x000},
    {208, "MM@CDCLOSE",          "N",         0x000},
    {209, "MM@CDPLAY",           "SSS",       0x000},
    {210, "MM@CDPLAY2",          "SSSSS",     0x000},
    {211, "MM@CDSTOP",           "S",         0x000},
    {212, "MM@CDGET",            "SSS",       0x500},
    {213, "MM@CDPAUSE",          "NS",        0x000},
    {214, "P@SRVMAKE",           "SSMS",      0x500},
    {215, "P@SRVGETUSER",        "SS",        0x500},
    {216, "P@USERMAKE",          "SMSMS",     0x500},
    {217, "P@USERGETSTATE",      "SS",        0x500},
    {218, "P@PUSHINT",           "SSS",       0x400},
    {219, "P@POPINT",            "SS",        0x500},
    {220, "P@PUSHSTR",           "SSM",       0x400},
    {221, "P@POPSTR",            "MS",        0x500},
    {222, "P@RECVINT",           "SS",        0x500},
    {223, "P@RECVSTR",           "SS",        0x500},
    {224, "P@SEND",              "SS",        0x500},
    {225, "P@RECV",              "SS",        0x500},
    {226, "P@CLOSE",             "NS",        0x500},
    {227, "P@SRVGETUSERIP",      "SS",        0x500},
    {228, "P@INETOPEN",          "SM",        0x400},
    {229, "P@INETRECV",          "MSS",       0x400},
    {230, "P@INETCLOSE",         "SS",        0x400},
};
// clang-format on

constexpr bool vocabularyInIdOrder() {
  for (int i = 0; i < kCommandCount; ++i)
    if (kCommands[i].id != i) return false;
  return true;
}
static_assert(vocabularyInIdOrder(), "row i holds command i");

// The id of a command by name, or -1.
constexpr int findCommand(std::string_view name) {
  for (const CommandInfo& c : kCommands)
    if (name == c.name) return c.id;
  return -1;
}

// The id of a command by name, checked when the program is compiled: an
// unknown name does not compile.
consteval int commandId(std::string_view name) {
  const int id = findCommand(name);
  if (id < 0) throw "no such command";
  return id;
}

constexpr const CommandInfo& commandInfo(int id) { return kCommands[id]; }

// Type codes of signature letters in a command record.
enum TypeCode : uint8_t { kTypeNone = 0, kTypeInt = 1, kTypeString = 2, kTypeReal = 3 };

constexpr uint8_t typeCodeOf(char letter) {
  switch (letter) {
    case 'S': return kTypeInt;
    case 'M': return kTypeString;
    case 'F': return kTypeReal;
    default: return kTypeNone;  // N, and anything unknown
  }
}

// The command record the host builds from each row at start-up.
struct CommandRecord {
  int32_t id;
  int16_t signatureLength;
  int8_t requiresSetup;
  int8_t resultCheck;
  uint8_t types[12];
  int32_t nameLength;
  const char* name;
};
// The layout native code reads on the 32-bit target; host builds of the
// pure readers (the fuzz targets) have wider pointers.
static_assert(sizeof(void*) != 4 || sizeof(CommandRecord) == 28, "command record is 28 bytes");

constexpr CommandRecord commandRecordOf(const CommandInfo& c) {
  CommandRecord r{};
  r.id = c.id;
  const std::string_view letters = c.signature;
  r.signatureLength = static_cast<int16_t>(letters.size());
  r.requiresSetup = static_cast<int8_t>(c.flags & 0xFF);
  r.resultCheck = static_cast<int8_t>((c.flags >> 8) & 0xFF);
  for (size_t j = 0; j < letters.size() && j < sizeof r.types; ++j) r.types[j] = typeCodeOf(letters[j]);
  r.nameLength = static_cast<int32_t>(c.nameView().size());
  r.name = c.name;
  return r;
}

// Whether a result check's failure value is `value`.
constexpr bool resultCheckFails(int check, int32_t value) {
  switch (check) {
    case 1:
    case 2: return value == 0;
    case 3: return value == 100;
    case 4: return value == -1;
    case 5: return value == 32767;
    default: return false;
  }
}

}  // namespace qrt
