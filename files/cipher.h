// The block cipher that protects saved images and models and derives the
// network connection token: DES in CBC mode with a zero initial vector,
// in place, under a key made from a short key text.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qrt {

// The 8-byte DES key of a key text: its first 8 bytes, zero-padded. The
// bytes are used as they are (parity bits untouched); null reads as "".
void desKeyFromText(const char* keyText, uint8_t key[8]);

// Encrypt / decrypt the whole 8-byte blocks of `data` in place. Callers
// cut lengths to a multiple of 8; should a length not be one, the tail
// after the last whole block is left as it is. Every key is accepted,
// weak ones included, and a fresh zero IV is used on every call.
// Return false only if the cipher library itself fails.
bool desEncrypt(uint8_t* data, size_t length, const char* keyText);
bool desDecrypt(uint8_t* data, size_t length, const char* keyText);

}  // namespace qrt
