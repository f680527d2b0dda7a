// DES-CBC on libgcrypt, linked statically.
#include "files/cipher.h"

#include <gcrypt.h>

#include <cstring>

namespace qrt {

namespace {

// libgcrypt must be told its version once before any other call.
bool cipherLibraryReady() {
  static const bool ready = gcry_check_version(GCRYPT_VERSION) != nullptr;
  return ready;
}

// A cipher handle released on every path.
class DesHandle {
 public:
  DesHandle() {
    if (gcry_cipher_open(&h_, GCRY_CIPHER_DES, GCRY_CIPHER_MODE_CBC, 0) != 0) h_ = nullptr;
  }
  ~DesHandle() {
    if (h_) gcry_cipher_close(h_);
  }
  DesHandle(const DesHandle&) = delete;
  DesHandle& operator=(const DesHandle&) = delete;
  gcry_cipher_hd_t get() const { return h_; }

 private:
  gcry_cipher_hd_t h_ = nullptr;
};

enum class Direction { kEncrypt, kDecrypt };

bool runDes(Direction direction, uint8_t* data, size_t length, const char* keyText) {
  const size_t whole = length - length % 8;
  if (whole == 0) return true;
  if (!cipherLibraryReady()) return false;
  DesHandle handle;
  gcry_cipher_hd_t h = handle.get();
  if (!h) return false;
  // Scripts choose their keys freely: the empty text is the all-zero key,
  // which DES counts as weak, and it must still work.
  if (gcry_cipher_ctl(h, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1) != 0) return false;
  uint8_t key[8];
  desKeyFromText(keyText, key);
  // With weak keys allowed the key is installed, yet the library may still
  // report it as weak.
  const gcry_error_t keyed = gcry_cipher_setkey(h, key, sizeof key);
  if (keyed != 0 && gcry_err_code(keyed) != GPG_ERR_WEAK_KEY) return false;
  const uint8_t iv[8] = {};
  if (gcry_cipher_setiv(h, iv, sizeof iv) != 0) return false;
  const gcry_error_t rc = direction == Direction::kEncrypt
                              ? gcry_cipher_encrypt(h, data, whole, nullptr, 0)
                              : gcry_cipher_decrypt(h, data, whole, nullptr, 0);
  return rc == 0;
}

}  // namespace

void desKeyFromText(const char* keyText, uint8_t key[8]) {
  std::memset(key, 0, 8);
  if (!keyText) return;
  for (int i = 0; i < 8 && keyText[i] != '\0'; ++i) key[i] = static_cast<uint8_t>(keyText[i]);
}

bool desEncrypt(uint8_t* data, size_t length, const char* keyText) {
  return runDes(Direction::kEncrypt, data, length, keyText);
}

bool desDecrypt(uint8_t* data, size_t length, const char* keyText) {
  return runDes(Direction::kDecrypt, data, length, keyText);
}

}  // namespace qrt
