// The block cipher against published DES vectors, and the key and length
// rules that saved files and the network handshake rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/cipher.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes hex(const char* text) {
  Bytes out;
  for (const char* p = text; p[0] && p[1]; p += 2) {
    while (*p == ' ') ++p;
    out.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
  }
  return out;
}

std::string keyText(const char* hexKey) {
  const Bytes k = hex(hexKey);
  return std::string(k.begin(), k.end());
}

Bytes encrypted(Bytes data, const std::string& key) {
  EXPECT_TRUE(qrt::desEncrypt(data.data(), data.size(), key.c_str()));
  return data;
}

Bytes decrypted(Bytes data, const std::string& key) {
  EXPECT_TRUE(qrt::desDecrypt(data.data(), data.size(), key.c_str()));
  return data;
}

TEST(Cipher, PublishedSingleBlockVectors) {
  // Single blocks: CBC with a zero IV is plain DES.
  EXPECT_EQ(encrypted(hex("0000000000000000"), ""), hex("8CA64DE9C1B123A7"));
  EXPECT_EQ(encrypted(hex("0123456789ABCDEF"), keyText("133457799BBCDFF1")), hex("85E813540F0AB405"));
  EXPECT_EQ(encrypted(hex("4E6F772069732074"), keyText("0123456789ABCDEF")), hex("3FA40E8A984D4815"));
  // All-ones is a weak key; scripts may still choose it.
  EXPECT_EQ(encrypted(hex("FFFFFFFFFFFFFFFF"), keyText("FFFFFFFFFFFFFFFF")), hex("7359B2163E4EDC58"));
  EXPECT_EQ(decrypted(hex("85E813540F0AB405"), keyText("133457799BBCDFF1")), hex("0123456789ABCDEF"));
}

TEST(Cipher, ConnectionTokenOfTheEmptyKey) {
  // The network handshake decrypts a zero block; the empty key is the
  // all-zero (weak) key and must be accepted.
  EXPECT_EQ(decrypted(Bytes(8, 0), ""), hex("8CA64DE9C1B123A7"));
  Bytes block(8, 0);
  ASSERT_TRUE(qrt::desDecrypt(block.data(), 8, nullptr));
  EXPECT_EQ(block, hex("8CA64DE9C1B123A7"));
}

TEST(Cipher, ChainsBlocksFromAZeroVector) {
  // The published CBC example ("Now is the time for all ", IV 1234567890ABCDEF)
  // with its IV folded into the first block, since ours is always zero.
  Bytes plain = hex("4E6F772069732074 68652074696D6520 666F7220616C6C20");
  const Bytes iv = hex("1234567890ABCDEF");
  for (int i = 0; i < 8; ++i) plain[i] ^= iv[i];
  const std::string key = keyText("0123456789ABCDEF");
  const Bytes cipher = encrypted(plain, key);
  EXPECT_EQ(cipher, hex("E5C7CDDE872BF27C 43E934008C389C0F 683788499A7C05F6"));
  EXPECT_EQ(decrypted(cipher, key), plain);

  // Equal blocks encrypt differently, and nothing carries over between calls.
  const Bytes twice = encrypted(Bytes(16, 0x5A), "key");
  EXPECT_NE(Bytes(twice.begin(), twice.begin() + 8), Bytes(twice.begin() + 8, twice.end()));
  EXPECT_EQ(encrypted(Bytes(16, 0x5A), "key"), twice);
  EXPECT_EQ(decrypted(twice, "key"), Bytes(16, 0x5A));
}

TEST(Cipher, KeyIsTheFirstEightBytesZeroPadded) {
  const Bytes plain = hex("0011223344556677 8899AABBCCDDEEFF");
  EXPECT_EQ(encrypted(plain, "ABCDEFGHIJ"), encrypted(plain, "ABCDEFGH"));
  EXPECT_NE(encrypted(plain, "ABCDEFGH"), encrypted(plain, "ABCDEFGX"));

  uint8_t key[8];
  qrt::desKeyFromText("abc", key);
  const uint8_t expected[8] = {'a', 'b', 'c', 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(key, expected, 8));
  // Zero padding and 0x01 differ only in the parity bit, so a short key
  // must encrypt like its text padded with 0x01 bytes.
  EXPECT_EQ(encrypted(plain, "abc"), encrypted(plain, "abc\x01\x01\x01\x01\x01"));
  EXPECT_NE(encrypted(plain, "abc"), encrypted(plain, "abc\x02"));
}

TEST(Cipher, ParityBitsAreIgnored) {
  const Bytes plain = hex("0123456789ABCDEF FEDCBA9876543210");
  // Each byte with its lowest bit flipped: 'A'^1 = '@', 'B'^1 = 'C', ...
  std::string flipped = "ABCDEFGH";
  for (char& c : flipped) c = static_cast<char>(c ^ 1);
  EXPECT_EQ(encrypted(plain, flipped), encrypted(plain, "ABCDEFGH"));
  EXPECT_EQ(decrypted(encrypted(plain, "ABCDEFGH"), flipped), plain);
}

TEST(Cipher, AFileCutToWholeBlocksKeepsItsTailPlain) {
  Bytes file(20);
  for (int i = 0; i < 20; ++i) file[i] = static_cast<uint8_t>(i * 7 + 1);
  const Bytes original = file;
  ASSERT_TRUE(qrt::desEncrypt(file.data(), file.size() / 8 * 8, "save key"));
  EXPECT_NE(Bytes(file.begin(), file.begin() + 16), Bytes(original.begin(), original.begin() + 16));
  EXPECT_EQ(Bytes(file.begin() + 16, file.end()), Bytes(original.begin() + 16, original.end()));
  ASSERT_TRUE(qrt::desDecrypt(file.data(), file.size() / 8 * 8, "save key"));
  EXPECT_EQ(file, original);

  // A length that is not a multiple of 8 leaves the partial block alone.
  Bytes uncut = original;
  ASSERT_TRUE(qrt::desEncrypt(uncut.data(), uncut.size(), "save key"));
  EXPECT_EQ(Bytes(uncut.begin() + 16, uncut.end()), Bytes(original.begin() + 16, original.end()));
  Bytes tiny = {1, 2, 3};
  ASSERT_TRUE(qrt::desEncrypt(tiny.data(), tiny.size(), "k"));
  EXPECT_EQ(tiny, (Bytes{1, 2, 3}));
}

}  // namespace
