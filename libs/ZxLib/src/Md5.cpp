#include "ZxLib/ZxLib.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

namespace Entrypt {

std::string GenerateMD5(const void* data, size_t length) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[16];
    bool ok = BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (ok && length > 0) {
        ULONG chunk = static_cast<ULONG>(std::min<size_t>(length, 1u << 30));
        ok = BCryptHashData(hash, const_cast<PUCHAR>(p), chunk, 0) == 0;
        p += chunk;
        length -= chunk;
    }
    ok = ok && BCryptFinishHash(hash, digest, sizeof(digest), 0) == 0;
    if (hash) BCryptDestroyHash(hash);
    if (alg) BCryptCloseAlgorithmProvider(alg, 0);
    if (!ok) return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 15];
    }
    return out;
}

std::string GenerateMD5(const std::string& bytes) { return GenerateMD5(bytes.data(), bytes.size()); }

}  // namespace Entrypt
