// The built-in vocabulary as compiled programs and error boxes see it: ids,
// names, signatures, flags, the handlers the families bind, and the records
// built from it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "base/runtime.h"
#include "engine/commands.h"
#include "host/families.h"

namespace {

using qrt::kCommandCount;
using qrt::kCommands;

TEST(CommandTable, EveryIdHasOneRowWithAUniqueName) {
  std::set<std::string> names;
  for (int id = 0; id < kCommandCount; ++id) {
    const qrt::CommandInfo& row = kCommands[id];
    EXPECT_EQ(row.id, id);
    ASSERT_NE(row.name, nullptr);
    EXPECT_TRUE(names.insert(row.name).second) << "duplicate name " << row.name;
    // Names are what error boxes insert: upper-case ASCII (cp932 single bytes).
    for (const char* p = row.name; *p; ++p) {
      const bool allowed = (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || *p == '@';
      EXPECT_TRUE(allowed) << row.name;
    }
    const size_t letters = std::strlen(row.signature);
    EXPECT_GE(letters, 1u) << row.name;
    EXPECT_LE(letters, 9u) << row.name;
    for (const char* p = row.signature; *p; ++p)
      EXPECT_NE(std::strchr("NSFM", *p), nullptr) << row.name << " " << row.signature;
    // Parameters are never N; only the result may be.
    for (size_t j = 1; j < letters; ++j) EXPECT_NE(row.signature[j], 'N') << row.name;
    EXPECT_EQ(row.flags & ~0x0701, 0) << row.name;
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kCommandCount));
}

struct ExpectedRow {
  int id;
  const char* name;
  const char* signature;
  int flags;
};

// A dozen rows of each family (all of the small ones), as compiled
// programs know them.
const ExpectedRow kSpotRows[] = {
    // G@
    {1, "G@SETUP", "SSSSS", 0x100},
    {2, "G@DISPMODEGET", "SSS", 0x001},
    {4, "G@WINDOWSET", "NS", 0x200},
    {6, "G@FONT", "NSSSSM", 0x200},
    {8, "G@COLORA", "NSSSS", 0x100},
    {10, "G@CHRCLEAR", "NSSSS", 0x201},
    {12, "G@RELEASE", "NS", 0x201},
    {14, "G@CHRCOPYF", "NSSSFF", 0x201},
    {16, "G@CHRCOPY2", "NSSFSFF", 0x201},
    {18, "G@CHRCOPYC2", "NSSSSFSFF", 0x201},
    {20, "G@CHRSAVE", "NSMMS", 0x201},
    {23, "G@CHRCOLORA", "NSSSSS", 0x001},
    // G3@
    {24, "G3@ADD", "NSS", 0x201},
    {29, "G3@CAMERASETEYE", "NFFF", 0x001},
    {35, "G3@LIGHTSETENABLE", "NSS", 0x201},
    {40, "G3@LIGHTSETUMBRA", "NSFF", 0x201},
    {46, "G3@FRMSETFOGDENSITY", "NSF", 0x201},
    {51, "G3@FRMSETROT", "NSFFF", 0x201},
    {57, "G3@FRMSETSHADE", "NSS", 0x201},
    {63, "G3@FRMSETAMBIENT", "NSFFF", 0x201},
    {68, "G3@FRMMAKEBOX", "SFFF", 0x101},
    {74, "G3@FRMSETMCOLOR", "NSFFFF", 0x101},
    {79, "G3@FRMGETANINUM", "SSM", 0x001},
    {90, "G3@FRMSETBILL", "NSS", 0x201},
    // I@
    {91, "I@JOYGET", "SS", 0x000},
    {92, "I@JOYAPOS", "SSS", 0x300},
    {93, "I@JOYDPOS", "SSS", 0x300},
    {94, "I@JOYBTN", "SSS", 0x300},
    {95, "I@KEYGET", "N", 0x200},
    {96, "I@KEYBTN", "SS", 0x400},
    {97, "I@MSGET", "NS", 0x200},
    {98, "I@MSBTN", "SS", 0x500},
    {99, "I@MSPOS", "SS", 0x500},
    {100, "I@KEYGET2", "N", 0x200},
    {101, "I@KEYBTN2", "SS", 0x400},
    // core
    {102, "STR", "MSS", 0x100},
    {105, "RANDF", "F", 0x000},
    {108, "CHDRIVE", "NS", 0x200},
    {111, "ASIN", "FF", 0x000},
    {115, "SIN", "FF", 0x000},
    {118, "SGNF", "SF", 0x000},
    {121, "LOG", "FF", 0x000},
    {124, "GETDATE", "SSS", 0x000},
    {128, "MAXF", "FFF", 0x000},
    {131, "ATOI", "SM", 0x000},
    {134, "ASC", "SM", 0x400},
    {140, "SYSEXITKEY", "NS", 0x000},
    // S@
    {141, "S@WAIT", "N", 0x000},
    {144, "S@TITLESET", "NM", 0x000},
    {147, "S@USERNAMEGET", "M", 0x000},
    {150, "S@WINSYSDIRGET", "M", 0x000},
    {153, "S@WINCLOSECHK", "S", 0x000},
    {156, "S@PARAM", "M", 0x000},
    {159, "S@BACKGROUND", "NS", 0x200},
    {162, "S@OUTP", "NSS", 0x000},
    {165, "S@IMEGETSTR", "MS", 0x000},
    {168, "S@IMEGETLIST", "MS", 0x000},
    {171, "S@IMEGETEDITSTR", "MS", 0x000},
    {176, "S@IMESETEDITLEN", "NS", 0x000},
    // M@
    {177, "M@LOAD", "SM", 0x100},
    {178, "M@PLAY", "NS", 0x200},
    {179, "M@PAUSE", "NS", 0x200},
    {180, "M@STOP", "NS", 0x200},
    {181, "M@RELEASE", "NS", 0x200},
    {182, "M@TEMPO", "NSF", 0x200},
    {183, "M@RTIME", "SS", 0x400},
    {184, "M@VOL", "NSS", 0x200},
    {185, "M@PAN", "NSS", 0x200},
    {186, "M@LTIME", "SS", 0x400},
    // W@
    {187, "W@LOAD", "SM", 0x100},
    {188, "W@PLAY", "NSS", 0x200},
    {189, "W@RELEASE", "NS", 0x200},
    {190, "W@STOP", "NS", 0x200},
    {191, "W@PAUSE", "NS", 0x200},
    {192, "W@TEMPO", "NSF", 0x200},
    {193, "W@VOL", "NSS", 0x200},
    {194, "W@PAN", "NSS", 0x200},
    // F@
    {195, "F@OPEN", "SMSS", 0x000},
    {196, "F@CLOSE", "NS", 0x000},
    {197, "F@READ", "SS", 0x000},
    {198, "F@WRITE", "NSS", 0x000},
    {199, "F@RENAME", "SMM", 0x000},
    {200, "F@DELETE", "SM", 0x000},
    {201, "F@LENG", "SS", 0x000},
    {202, "F@WRITES", "NSM", 0x000},
    {203, "F@READS", "MSS", 0x000},
    {204, "F@FILECOPY", "SMMS", 0x000},
    {205, "F@DIRMAKE", "SM", 0x000},
    {206, "F@DIRREL", "SM", 0x000},
    // MM@
    {207, "MM@CDOPEN", "N", 0x000},
    {208, "MM@CDCLOSE", "N", 0x000},
    {209, "MM@CDPLAY", "SSS", 0x000},
    {210, "MM@CDPLAY2", "SSSSS", 0x000},
    {211, "MM@CDSTOP", "S", 0x000},
    {212, "MM@CDGET", "SSS", 0x500},
    {213, "MM@CDPAUSE", "NS", 0x000},
    // P@
    {214, "P@SRVMAKE", "SSMS", 0x500},
    {215, "P@SRVGETUSER", "SS", 0x500},
    {216, "P@USERMAKE", "SMSMS", 0x500},
    {218, "P@PUSHINT", "SSS", 0x400},
    {219, "P@POPINT", "SS", 0x500},
    {221, "P@POPSTR", "MS", 0x500},
    {222, "P@RECVINT", "SS", 0x500},
    {223, "P@RECVSTR", "SS", 0x500},
    {225, "P@RECV", "SS", 0x500},
    {226, "P@CLOSE", "NS", 0x500},
    {228, "P@INETOPEN", "SM", 0x400},
    {230, "P@INETCLOSE", "SS", 0x400},
};

TEST(CommandTable, EveryCommandIsServedByAtMostOneFamilyAndNopByNone) {
  std::set<int> bound;
  for (const qrt::Family& f : qrt::families()) {
    for (const qrt::CommandBinding& b : f.commands) {
      ASSERT_GT(b.id, 0) << f.name << " binds XYZ@NOP, which is never callable";
      ASSERT_LT(b.id, kCommandCount) << f.name;
      EXPECT_NE(b.handler, nullptr) << kCommands[b.id].name;
      EXPECT_TRUE(bound.insert(b.id).second) << kCommands[b.id].name << " bound twice";
    }
  }
  qrt::bindCommands();
  for (int id = 0; id < kCommandCount; ++id)
    EXPECT_EQ(qrt::g_host.rt.handlers[id] != nullptr, bound.count(id) == 1) << kCommands[id].name;
  static_assert(qrt::commandId("G@SETUP") == 1 && qrt::commandId("P@INETCLOSE") == 230);
  EXPECT_EQ(qrt::findCommand("G@NOSUCH"), -1);
}

TEST(CommandTable, FamilyRowsMatchTheVocabulary) {
  for (const ExpectedRow& want : kSpotRows) {
    const qrt::CommandInfo& row = kCommands[want.id];
    EXPECT_STREQ(row.name, want.name) << want.id;
    EXPECT_STREQ(row.signature, want.signature) << want.name;
    EXPECT_EQ(row.flags, want.flags) << want.name;
  }
}

TEST(CommandTable, RecordsCarryLengthsFlagsAndTypeCodes) {
  qrt::CommandRecord records[kCommandCount];
  std::memset(records, 0xCC, sizeof records);
  qrt::buildCommandRecords(records);

  const qrt::CommandRecord& copy = records[18];  // G@CHRCOPYC2 NSSSSFSFF 0x201
  EXPECT_EQ(copy.id, 18);
  EXPECT_EQ(copy.signatureLength, 9);
  EXPECT_EQ(copy.requiresSetup, 1);
  EXPECT_EQ(copy.resultCheck, 2);
  const uint8_t types[12] = {0, 1, 1, 1, 1, 3, 1, 3, 3, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(copy.types, types, 12));
  EXPECT_EQ(copy.nameLength, 11);
  EXPECT_STREQ(copy.name, "G@CHRCOPYC2");

  const qrt::CommandRecord& mid = records[126];  // MID MMSS 0x200
  EXPECT_EQ(mid.signatureLength, 4);
  EXPECT_EQ(mid.requiresSetup, 0);
  EXPECT_EQ(mid.resultCheck, 2);
  const uint8_t midTypes[12] = {2, 2, 1, 1};
  EXPECT_EQ(0, std::memcmp(mid.types, midTypes, 12));

  const qrt::CommandRecord& ray = records[82];  // G3@FRMGETRAYDATA FSS 0x501
  EXPECT_EQ(ray.types[0], qrt::kTypeReal);
  EXPECT_EQ(ray.resultCheck, 5);
  EXPECT_EQ(ray.nameLength, 16);

  for (int id = 0; id < kCommandCount; ++id) {
    EXPECT_EQ(records[id].id, id);
    EXPECT_EQ(records[id].signatureLength, static_cast<int>(std::strlen(kCommands[id].signature)));
    EXPECT_EQ(records[id].nameLength, static_cast<int>(std::strlen(kCommands[id].name)));
    for (int j = records[id].signatureLength; j < 12; ++j) EXPECT_EQ(records[id].types[j], 0);
  }
}

TEST(CommandTable, ResultChecksHaveTheirFailureValues) {
  // check: {failure value, neighbours that pass}
  EXPECT_TRUE(qrt::resultCheckFails(1, 0));
  EXPECT_FALSE(qrt::resultCheckFails(1, 1));
  EXPECT_FALSE(qrt::resultCheckFails(1, -1));
  EXPECT_TRUE(qrt::resultCheckFails(2, 0));
  EXPECT_FALSE(qrt::resultCheckFails(2, 100));
  EXPECT_TRUE(qrt::resultCheckFails(3, 100));
  EXPECT_FALSE(qrt::resultCheckFails(3, 99));
  EXPECT_FALSE(qrt::resultCheckFails(3, 101));
  EXPECT_FALSE(qrt::resultCheckFails(3, 0));
  EXPECT_TRUE(qrt::resultCheckFails(4, -1));
  EXPECT_FALSE(qrt::resultCheckFails(4, 0));
  EXPECT_FALSE(qrt::resultCheckFails(4, 0xFFFF));
  EXPECT_TRUE(qrt::resultCheckFails(5, 32767));
  EXPECT_FALSE(qrt::resultCheckFails(5, 32766));
  EXPECT_FALSE(qrt::resultCheckFails(5, -32767));
  EXPECT_FALSE(qrt::resultCheckFails(5, 0));
  for (int value : {0, -1, 100, 32767}) EXPECT_FALSE(qrt::resultCheckFails(0, value));
}

}  // namespace
