// The built-in command table and the command records built from it.
//
// One row per command, in id order (id = row index). Flags: byte 0 is the
// requires-setup flag, byte 1 the result check (1 or 2: 0 fails, 3: 100,
// 4: -1, 5: 32767). A family that is not built yet is registered with
// commandNotBuilt, so that a program calling it ends with a clear box.
#include "engine/commands.h"

#include <cstring>

#include "engine/core_functions.h"
#include "engine/engine.h"
#include "gfx2d/commands.h"
#include "host/errors.h"
#include "input/commands.h"
#include "system/ime_commands.h"

namespace qrt {

// clang-format off
const CommandRow kCommandTable[kCommandCount] = {
    // id   name                   signature     flags  handler
    {0,   "XYZ@NOP",             "N",         0x000, nullptr},
    {1,   "G@SETUP",             "SSSSS",     0x100, cmdGSetup},
    {2,   "G@DISPMODEGET",       "SSS",       0x001, cmdGDispModeGet},
    {3,   "G@DISPMODECOUNT",     "S",         0x001, cmdGDispModeCount},
    {4,   "G@WINDOWSET",         "NS",        0x200, cmdGWindowSet},
    {5,   "G@PRINT",             "NSSSM",     0x201, cmdGPrint},
    {6,   "G@FONT",              "NSSSSM",    0x200, cmdGFont},
    {7,   "G@COLOR",             "NSSS",      0x100, cmdGColor},
    {8,   "G@COLORA",            "NSSSS",     0x100, cmdGColorA},
    {9,   "G@FLIP",              "N",         0x201, cmdGFlip},
    {10,  "G@CHRCLEAR",          "NSSSS",     0x201, cmdGChrClear},
    {11,  "G@CHRLOAD",           "SMM",       0x101, cmdGChrLoad},
    {12,  "G@RELEASE",           "NS",        0x201, cmdGRelease},
    {13,  "G@CHRCOPY",           "NSSSFF",    0x201, cmdGChrCopy},
    {14,  "G@CHRCOPYF",          "NSSSFF",    0x201, cmdGChrCopyF},
    {15,  "G@CHRCOPYC",          "NSSSSSFF",  0x201, cmdGChrCopyC},
    {16,  "G@CHRCOPY2",          "NSSFSFF",   0x201, cmdGChrCopy2},
    {17,  "G@CHRCOPYF2",         "NSSFSFF",   0x201, cmdGChrCopyF2},
    {18,  "G@CHRCOPYC2",         "NSSSSFSFF", 0x201, cmdGChrCopyC2},
    {19,  "G@CHRRECT",           "NSSSSS",    0x201, cmdGChrRect},
    {20,  "G@CHRSAVE",           "NSMMS",     0x201, cmdGChrSave},
    {21,  "G@CHRMAKE",           "SSSS",      0x101, cmdGChrMake},
    {22,  "G@CHRLOADCKEY",       "NSSS",      0x001, cmdGChrLoadCKey},
    {23,  "G@CHRCOLORA",         "NSSSSS",    0x001, cmdGChrColorA},
    {24,  "G3@ADD",              "NSS",       0x201, commandNotBuilt},
    {25,  "G3@DELETE",           "NSS",       0x201, commandNotBuilt},
    {26,  "G3@RELEASE",          "NS",        0x201, commandNotBuilt},
    {27,  "G3@RENDER",           "NSS",       0x201, commandNotBuilt},
    {28,  "G3@DEVSETVIEWPORT",   "NSSSSFF",   0x201, commandNotBuilt},
    {29,  "G3@CAMERASETEYE",     "NFFF",      0x001, commandNotBuilt},
    {30,  "G3@CAMERASETLOOK",    "NFFF",      0x001, commandNotBuilt},
    {31,  "G3@CAMERASETUP",      "NFFF",      0x001, commandNotBuilt},
    {32,  "G3@CAMERASETFOV",     "NF",        0x001, commandNotBuilt},
    {33,  "G3@CAMERASETPRO",     "NFF",       0x001, commandNotBuilt},
    {34,  "G3@LIGHTMAKE",        "SSFFF",     0x101, commandNotBuilt},
    {35,  "G3@LIGHTSETENABLE",   "NSS",       0x201, commandNotBuilt},
    {36,  "G3@LIGHTSETCOLOR",    "NSFFF",     0x201, commandNotBuilt},
    {37,  "G3@LIGHTSETDIR",      "NSFFF",     0x201, commandNotBuilt},
    {38,  "G3@LIGHTSETPOS",      "NSFFF",     0x201, commandNotBuilt},
    {39,  "G3@LIGHTSETRANGE",    "NSF",       0x201, commandNotBuilt},
    {40,  "G3@LIGHTSETUMBRA",    "NSFF",      0x201, commandNotBuilt},
    {41,  "G3@LIGHTSETAT",       "NSFFF",     0x201, commandNotBuilt},
    {42,  "G3@FRMSETFOGMODE",    "NSS",       0x201, commandNotBuilt},
    {43,  "G3@FRMSETFOGCOLOR",   "NSFFFF",    0x201, commandNotBuilt},
    {44,  "G3@FRMSETFOGSTART",   "NSF",       0x201, commandNotBuilt},
    {45,  "G3@FRMSETFOGEND",     "NSF",       0x201, commandNotBuilt},
    {46,  "G3@FRMSETFOGDENSITY", "NSF",       0x201, commandNotBuilt},
    {47,  "G3@FRMLOAD",          "SM",        0x101, commandNotBuilt},
    {48,  "G3@FRMSETPOS",        "NSFFF",     0x201, commandNotBuilt},
    {49,  "G3@FRMSETPOSREL",     "NSFFF",     0x201, commandNotBuilt},
    {50,  "G3@FRMSETPOSAUTO",    "NSFFF",     0x201, commandNotBuilt},
    {51,  "G3@FRMSETROT",        "NSFFF",     0x201, commandNotBuilt},
    {52,  "G3@FRMSETROTREL",     "NSFFF",     0x201, commandNotBuilt},
    {53,  "G3@FRMSETROTAUTO",    "NSFFF",     0x201, commandNotBuilt},
    {54,  "G3@FRMSETSCALE",      "NSFFF",     0x201, commandNotBuilt},
    {55,  "G3@FRMSETENABLE",     "NSS",       0x201, commandNotBuilt},
    {56,  "G3@FRMSETCULL",       "NSS",       0x201, commandNotBuilt},
    {57,  "G3@FRMSETSHADE",      "NSS",       0x201, commandNotBuilt},
    {58,  "G3@FRMSETFILTER",     "NSS",       0x201, commandNotBuilt},
    {59,  "G3@FRMSETLIGHTD",     "NSS",       0x201, commandNotBuilt},
    {60,  "G3@FRMSETLIGHTS",     "NSS",       0x201, commandNotBuilt},
    {61,  "G3@FRMSETTEXENABLE",  "NSSS",      0x201, commandNotBuilt},
    {62,  "G3@FRMSETBLEND",      "NSSS",      0x201, commandNotBuilt},
    {63,  "G3@FRMSETAMBIENT",    "NSFFF",     0x201, commandNotBuilt},
    {64,  "G3@FRMSETFSAA",       "NSS",       0x201, commandNotBuilt},
    {65,  "G3@FRMSETVERTEX",     "NSS",       0x201, commandNotBuilt},
    {66,  "G3@FRMMAKESPHERE",    "SFSS",      0x101, commandNotBuilt},
    {67,  "G3@FRMMAKETEAPOT",    "S",         0x101, commandNotBuilt},
    {68,  "G3@FRMMAKEBOX",       "SFFF",      0x101, commandNotBuilt},
    {69,  "G3@FRMMAKECYLINDER",  "SFFFSS",    0x101, commandNotBuilt},
    {70,  "G3@FRMMAKETORUS",     "SFFSS",     0x101, commandNotBuilt},
    {71,  "G3@FRMMAKETEXT",      "SMFF",      0x101, commandNotBuilt},
    {72,  "G3@FRMMAKEBOARD",     "SSS",       0x101, commandNotBuilt},
    {73,  "G3@FRMFONT",          "NSSSSM",    0x201, commandNotBuilt},
    {74,  "G3@FRMSETMCOLOR",     "NSFFFF",    0x101, commandNotBuilt},
    {75,  "G3@FRMSETANI",        "NSSSF",     0x201, commandNotBuilt},
    {76,  "G3@FRMSETANICHG",     "NSSSF",     0x201, commandNotBuilt},
    {77,  "G3@FRMSETANIEND",     "NS",        0x201, commandNotBuilt},
    {78,  "G3@FRMADDANITIME",    "NSF",       0x201, commandNotBuilt},
    {79,  "G3@FRMGETANINUM",     "SSM",       0x201, commandNotBuilt},
    {80,  "G3@FRMGETANIACT",     "SS",        0x401, commandNotBuilt},
    {81,  "G3@FRMGETRAY",        "SSFFFFFF",  0x501, commandNotBuilt},
    {82,  "G3@FRMGETRAYDATA",    "FSS",       0x501, commandNotBuilt},
    {83,  "G3@FRMGETCHR",        "SS",        0x101, commandNotBuilt},
    {84,  "G3@FRMGETDATAX",      "SS",        0x001, commandNotBuilt},
    {85,  "G3@FRMGETDATAY",      "SS",        0x001, commandNotBuilt},
    {86,  "G3@FRMGETDATAZ",      "FS",        0x001, commandNotBuilt},
    {87,  "G3@FRMGETDATAMX",     "FS",        0x001, commandNotBuilt},
    {88,  "G3@FRMGETDATAMY",     "FS",        0x001, commandNotBuilt},
    {89,  "G3@FRMGETDATAMZ",     "FS",        0x001, commandNotBuilt},
    {90,  "G3@FRMSETBILL",       "NSS",       0x201, commandNotBuilt},
    {91,  "I@JOYGET",            "SS",        0x000, cmdIJoyGet},
    {92,  "I@JOYAPOS",           "SSS",       0x300, cmdIJoyAPos},
    {93,  "I@JOYDPOS",           "SSS",       0x300, cmdIJoyDPos},
    {94,  "I@JOYBTN",            "SSS",       0x300, cmdIJoyBtn},
    {95,  "I@KEYGET",            "N",         0x200, cmdIKeyGet},
    {96,  "I@KEYBTN",            "SS",        0x400, cmdIKeyBtn},
    {97,  "I@MSGET",             "NS",        0x200, cmdIMsGet},
    {98,  "I@MSBTN",             "SS",        0x500, cmdIMsBtn},
    {99,  "I@MSPOS",             "SS",        0x500, cmdIMsPos},
    {100, "I@KEYGET2",           "N",         0x200, cmdIKeyGet2},
    {101, "I@KEYBTN2",           "SS",        0x400, cmdIKeyBtn2},
    {102, "STR",                 "MSS",       0x100, cmdStr},
    {103, "STRF",                "MFS",       0x100, cmdStrF},
    {104, "RAND",                "S",         0x000, cmdRand},
    {105, "RANDF",               "F",         0x000, cmdRandF},
    {106, "SYSTIME",             "S",         0x000, cmdSysTime},
    {107, "CHDIR",               "NM",        0x200, commandNotBuilt},
    {108, "CHDRIVE",             "NS",        0x200, commandNotBuilt},
    {109, "ABS",                 "SS",        0x000, cmdAbs},
    {110, "ABSF",                "FF",        0x000, cmdAbsF},
    {111, "ASIN",                "FF",        0x000, cmdAsin},
    {112, "ACOS",                "FF",        0x000, cmdAcos},
    {113, "ATAN",                "FF",        0x000, cmdAtan},
    {114, "COS",                 "FF",        0x000, cmdCos},
    {115, "SIN",                 "FF",        0x000, cmdSin},
    {116, "TAN",                 "FF",        0x000, cmdTan},
    {117, "SGN",                 "SS",        0x000, cmdSgn},
    {118, "SGNF",                "SF",        0x000, cmdSgnF},
    {119, "POW",                 "FFF",       0x000, cmdPow},
    {120, "EXP",                 "FF",        0x000, cmdExp},
    {121, "LOG",                 "FF",        0x000, cmdLog},
    {122, "LOG10",               "FF",        0x000, cmdLog10},
    {123, "SQRT",                "FF",        0x000, cmdSqrt},
    {124, "GETDATE",             "SSS",       0x000, cmdGetDate},
    {125, "LENG",                "SM",        0x000, cmdLeng},
    {126, "MID",                 "MMSS",      0x200, cmdMid},
    {127, "MAX",                 "SSS",       0x000, cmdMax},
    {128, "MAXF",                "FFF",       0x000, cmdMaxF},
    {129, "MIN",                 "SSS",       0x000, cmdMin},
    {130, "MINF",                "FFF",       0x000, cmdMinF},
    {131, "ATOI",                "SM",        0x000, cmdAtoi},
    {132, "ATOF",                "FM",        0x000, cmdAtof},
    {133, "CHR",                 "MS",        0x100, cmdChr},
    {134, "ASC",                 "SM",        0x400, cmdAsc},
    {135, "REDIM",               "SS",        0x100, cmdRedim},
    {136, "REDIMFREE",           "NS",        0x000, cmdRedimFree},
    {137, "RANDSET",             "NS",        0x000, cmdRandSet},
    {138, "LSET",                "MMS",       0x000, cmdLSet},
    {139, "SYSEXIT",             "N",         0x000, cmdSysExit},
    {140, "SYSEXITKEY",          "NS",        0x000, cmdSysExitKey},
    {141, "S@WAIT",              "N",         0x000, cmdSWait},
    {142, "S@MSG",               "SMMSSS",    0x000, commandNotBuilt},
    {143, "S@REGSET",            "NMM",       0x000, commandNotBuilt},
    {144, "S@TITLESET",          "NM",        0x000, commandNotBuilt},
    {145, "S@WINEXIT",           "NSS",       0x200, commandNotBuilt},
    {146, "S@WINVERGET",         "SS",        0x000, commandNotBuilt},
    {147, "S@USERNAMEGET",       "M",         0x000, commandNotBuilt},
    {148, "S@COMNAMEGET",        "M",         0x000, commandNotBuilt},
    {149, "S@WINDIRGET",         "M",         0x000, commandNotBuilt},
    {150, "S@WINSYSDIRGET",      "M",         0x000, commandNotBuilt},
    {151, "S@WINOPEN",           "N",         0x000, commandNotBuilt},
    {152, "S@WINCLOSE",          "N",         0x000, commandNotBuilt},
    {153, "S@WINCLOSECHK",       "S",         0x000, commandNotBuilt},
    {154, "S@WINZOOMCHK",        "S",         0x000, commandNotBuilt},
    {155, "S@WINACTCHK",         "S",         0x000, commandNotBuilt},
    {156, "S@PARAM",             "M",         0x000, commandNotBuilt},
    {157, "S@SYSACTCHK",         "SM",        0x400, commandNotBuilt},
    {158, "S@SYSACTLOOK",        "N",         0x000, commandNotBuilt},
    {159, "S@BACKGROUND",        "NS",        0x200, commandNotBuilt},
    {160, "S@SYSPARM",           "M",         0x000, commandNotBuilt},
    {161, "S@SLEEP",             "NS",        0x000, commandNotBuilt},
    {162, "S@OUTP",              "NSS",       0x000, commandNotBuilt},
    {163, "S@IMESETMODE",        "NS",        0x400, cmdSImeSetMode},
    {164, "S@IMEGETMODE",        "S",         0x000, cmdSImeGetMode},
    {165, "S@IMEGETSTR",         "MS",        0x000, cmdSImeGetStr},
    {166, "S@IMEGETSTATE",       "SS",        0x000, cmdSImeGetState},
    {167, "S@IMEGETRESULT",      "M",         0x400, cmdSImeGetResult},
    {168, "S@IMEGETLIST",        "MS",        0x000, cmdSImeGetList},
    {169, "S@IMESETSELECT",      "NS",        0x000, cmdSImeSetSelect},
    {170, "S@IMESETEDITMODE",    "NS",        0x400, cmdSImeSetEditMode},
    {171, "S@IMEGETEDITSTR",     "MS",        0x000, cmdSImeGetEditStr},
    {172, "S@IMEGETEDITSTATE",   "SS",        0x000, cmdSImeGetEditState},
    {173, "S@IMEGETEDITRESULT",  "M",         0x000, cmdSImeGetEditResult},
    {174, "S@IMEGETEDITCOLUMN",  "S",         0x000, cmdSImeGetEditColumn},
    {175, "S@KANJICHK",          "SM",        0x000, cmdSKanjiChk},
    {176, "S@IMESETEDITLEN",     "NS",        0x000, cmdSImeSetEditLen},
    {177, "M@LOAD",              "SM",        0x100, commandNotBuilt},
    {178, "M@PLAY",              "NS",        0x200, commandNotBuilt},
    {179, "M@PAUSE",             "NS",        0x200, commandNotBuilt},
    {180, "M@STOP",              "NS",        0x200, commandNotBuilt},
    {181, "M@RELEASE",           "NS",        0x200, commandNotBuilt},
    {182, "M@TEMPO",             "NSF",       0x200, commandNotBuilt},
    {183, "M@RTIME",             "SS",        0x400, commandNotBuilt},
    {184, "M@VOL",               "NSS",       0x200, commandNotBuilt},
    {185, "M@PAN",               "NSS",       0x200, commandNotBuilt},
    {186, "M@LTIME",             "SS",        0x400, commandNotBuilt},
    {187, "W@LOAD",              "SM",        0x100, commandNotBuilt},
    {188, "W@PLAY",              "NSS",       0x200, commandNotBuilt},
    {189, "W@RELEASE",           "NS",        0x200, commandNotBuilt},
    {190, "W@STOP",              "NS",        0x200, commandNotBuilt},
    {191, "W@PAUSE",             "NS",        0x200, commandNotBuilt},
    {192, "W@TEMPO",             "NSF",       0x200, commandNotBuilt},
    {193, "W@VOL",               "NSS",       0x200, commandNotBuilt},
    {194, "W@PAN",               "NSS",       0x200, commandNotBuilt},
    {195, "F@OPEN",              "SMSS",      0x000, commandNotBuilt},
    {196, "F@CLOSE",             "NS",        0x000, commandNotBuilt},
    {197, "F@READ",              "SS",        0x000, commandNotBuilt},
    {198, "F@WRITE",             "NSS",       0x000, commandNotBuilt},
    {199, "F@RENAME",            "SMM",       0x000, commandNotBuilt},
    {200, "F@DELETE",            "SM",        0x000, commandNotBuilt},
    {201, "F@LENG",              "SS",        0x000, commandNotBuilt},
    {202, "F@WRITES",            "NSM",       0x000, commandNotBuilt},
    {203, "F@READS",             "MSS",       0x000, commandNotBuilt},
    {204, "F@FILECOPY",          "SMMS",      0x000, commandNotBuilt},
    {205, "F@DIRMAKE",           "SM",        0x000, commandNotBuilt},
    {206, "F@DIRREL",            "SM",        0x000, commandNotBuilt},
    {207, "MM@CDOPEN",           "N",         0x000, commandNotBuilt},
    {208, "MM@CDCLOSE",          "N",         0x000, commandNotBuilt},
    {209, "MM@CDPLAY",           "SSS",       0x000, commandNotBuilt},
    {210, "MM@CDPLAY2",          "SSSSS",     0x000, commandNotBuilt},
    {211, "MM@CDSTOP",           "S",         0x000, commandNotBuilt},
    {212, "MM@CDGET",            "SSS",       0x500, commandNotBuilt},
    {213, "MM@CDPAUSE",          "NS",        0x000, commandNotBuilt},
    {214, "P@SRVMAKE",           "SSMS",      0x500, commandNotBuilt},
    {215, "P@SRVGETUSER",        "SS",        0x500, commandNotBuilt},
    {216, "P@USERMAKE",          "SMSMS",     0x500, commandNotBuilt},
    {217, "P@USERGETSTATE",      "SS",        0x500, commandNotBuilt},
    {218, "P@PUSHINT",           "SSS",       0x400, commandNotBuilt},
    {219, "P@POPINT",            "SS",        0x500, commandNotBuilt},
    {220, "P@PUSHSTR",           "SSM",       0x400, commandNotBuilt},
    {221, "P@POPSTR",            "MS",        0x500, commandNotBuilt},
    {222, "P@RECVINT",           "SS",        0x500, commandNotBuilt},
    {223, "P@RECVSTR",           "SS",        0x500, commandNotBuilt},
    {224, "P@SEND",              "SS",        0x500, commandNotBuilt},
    {225, "P@RECV",              "SS",        0x500, commandNotBuilt},
    {226, "P@CLOSE",             "NS",        0x500, commandNotBuilt},
    {227, "P@SRVGETUSERIP",      "SS",        0x500, commandNotBuilt},
    {228, "P@INETOPEN",          "SM",        0x400, commandNotBuilt},
    {229, "P@INETRECV",          "MSS",       0x400, commandNotBuilt},
    {230, "P@INETCLOSE",         "SS",        0x400, commandNotBuilt},
};
// clang-format on

namespace {

uint8_t typeCodeOf(char letter) {
  switch (letter) {
    case 'S': return kTypeInt;
    case 'M': return kTypeString;
    case 'F': return kTypeReal;
    default: return kTypeNone;  // N, and anything unknown
  }
}

}  // namespace

void buildCommandRecords(CommandRecord* records) {
  for (int i = 0; i < kCommandCount; ++i) {
    const CommandRow& row = kCommandTable[i];
    CommandRecord& r = records[i];
    r = CommandRecord{};
    r.id = row.id;
    const size_t letters = std::strlen(row.signature);
    r.signatureLength = static_cast<int16_t>(letters);
    r.requiresSetup = static_cast<int8_t>(row.flags & 0xff);
    r.resultCheck = static_cast<int8_t>((row.flags >> 8) & 0xff);
    for (size_t j = 0; j < letters && j < sizeof r.types; ++j) r.types[j] = typeCodeOf(row.signature[j]);
    r.nameLength = static_cast<int32_t>(std::strlen(row.name));
    r.name = row.name;
  }
}

bool resultCheckFails(int8_t check, int32_t value) {
  switch (check) {
    case 1:
    case 2: return value == 0;
    case 3: return value == 100;
    case 4: return value == -1;
    case 5: return value == 32767;
    default: return false;
  }
}

int32_t commandNotBuilt(EngineState& e) {
  raiseError(601);
  // The box says nothing about which command it was, and a row without a
  // result check would accept any value, so the program is ended here.
  e.exitRequested = true;
  return 0;
}

}  // namespace qrt
