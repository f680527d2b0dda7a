// What the IME says in UTF-16 as the script sees it in cp932, and buffers
// that cannot grow.
#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "host/ime_capture.h"

using namespace qrt;

namespace {

// "漢字かなABC" with clauses 漢字 | かな | ABC.
TEST(ImeText, ClauseOffsetsAndAttributesCountBytes) {
  const std::wstring wide = L"漢字かなABC";
  const Cp932Text t = toCp932Text(wide);
  EXPECT_EQ(t.bytes, "\x8a\xbf\x8e\x9a\x82\xa9\x82\xc8" "ABC");
  const uint32_t clauses[] = {0, 2, 4, 7};
  const std::string offsets = clauseBytes(t, clauses, 4);
  ASSERT_EQ(offsets.size(), 16u);
  uint32_t got[4];
  std::memcpy(got, offsets.data(), sizeof got);
  EXPECT_EQ(got[0], 0u);
  EXPECT_EQ(got[1], 4u);
  EXPECT_EQ(got[2], 8u);
  EXPECT_EQ(got[3], 11u);
  const BYTE attributes[] = {ATTR_TARGET_CONVERTED, ATTR_TARGET_CONVERTED, ATTR_CONVERTED, ATTR_CONVERTED,
                             ATTR_INPUT, ATTR_INPUT, ATTR_INPUT};
  EXPECT_EQ(attributeBytes(t, attributes, 7), std::string("\x01\x01\x01\x01\x02\x02\x02\x02\x00\x00\x00", 11));
}

// Characters cp932 does not have still take one byte each, so the offsets
// stay inside the text.
TEST(ImeText, CharactersOutsideCp932KeepOffsetsInside) {
  const std::wstring wide = L"a\U0001F600b";   // a surrogate pair in the middle
  const Cp932Text t = toCp932Text(wide);
  EXPECT_EQ(t.bytes.size(), 3u);
  const uint32_t clauses[] = {0, 1, 3, 4, 99};
  const std::string offsets = clauseBytes(t, clauses, 5);
  uint32_t got[5];
  std::memcpy(got, offsets.data(), sizeof got);
  EXPECT_EQ(got[1], 1u);
  EXPECT_EQ(got[2], 2u);
  EXPECT_EQ(got[3], 3u);
  EXPECT_EQ(got[4], 3u);
}

// A wide candidate list as the IME gives it, rebuilt with cp932 strings
// and offsets that point at them.
TEST(ImeText, CandidateListKeepsItsLayout) {
  const std::vector<std::wstring> words = {L"感じ", L"漢字", L"幹事"};
  const size_t header = offsetof(CANDIDATELIST, dwOffset) + words.size() * sizeof(DWORD);
  std::vector<BYTE> wide(header);
  std::vector<DWORD> offsets;
  for (const std::wstring& w : words) {
    offsets.push_back(static_cast<DWORD>(wide.size()));
    const auto* p = reinterpret_cast<const BYTE*>(w.c_str());
    wide.insert(wide.end(), p, p + (w.size() + 1) * sizeof(wchar_t));
  }
  auto* list = reinterpret_cast<CANDIDATELIST*>(wide.data());
  list->dwSize = static_cast<DWORD>(wide.size());
  list->dwStyle = IME_CAND_READ;
  list->dwCount = 3;
  list->dwSelection = 1;
  list->dwPageStart = 0;
  list->dwPageSize = 9;
  std::memcpy(list->dwOffset, offsets.data(), offsets.size() * sizeof(DWORD));

  const std::string bytes = candidateListBytes(list, wide.size());
  CANDIDATELIST head;
  std::memcpy(&head, bytes.data(), offsetof(CANDIDATELIST, dwOffset));
  EXPECT_EQ(head.dwSize, bytes.size());
  EXPECT_EQ(head.dwCount, 3u);
  EXPECT_EQ(head.dwSelection, 1u);
  EXPECT_EQ(head.dwPageSize, 9u);
  const char* expected[] = {"\x8a\xb4\x82\xb6", "\x8a\xbf\x8e\x9a", "\x8a\xb2\x8e\x96"};
  for (int i = 0; i < 3; ++i) {
    DWORD at;
    std::memcpy(&at, bytes.data() + offsetof(CANDIDATELIST, dwOffset) + i * sizeof(DWORD), sizeof at);
    ASSERT_LT(at, bytes.size());
    EXPECT_STREQ(bytes.data() + at, expected[i]) << i;
  }
}

TEST(TextBuffers, ABufferThatCannotGrowKeepsItsText) {
  TextBuffer b;
  ASSERT_TRUE(b.assign("kept", 4));
  const uint32_t capacity = b.capacity;
  EXPECT_FALSE(b.reserve(0xFFFFFFF0u));
  EXPECT_FALSE(b.assign("x", 0xFFFFFFF0u));
  EXPECT_EQ(b.capacity, capacity);
  EXPECT_EQ(b.length, 4u);
  EXPECT_EQ(std::string(b.data, b.length), "kept");
}

TEST(TextBuffers, ACandidateBlockThatCannotGrowKeepsTheOldBlock) {
  CandidateBlock c;
  ASSERT_TRUE(c.reserve(64));
  std::memcpy(c.address, "list", 5);
  EXPECT_FALSE(c.reserve(0xFFFFFFF0u));
  EXPECT_EQ(c.size, 64u);
  ASSERT_NE(c.address, nullptr);
  EXPECT_STREQ(static_cast<const char*>(c.address), "list");
  ASSERT_TRUE(c.reserve(100000));
  EXPECT_STREQ(static_cast<const char*>(c.address), "list");
}

}  // namespace
