// What the launcher's signature check and the publish tool's signing share on CNG: the
// process's ECDSA P-256 provider and an owner for its keys.
#pragma once

#include "store/handle.h"

#include <windows.h>

#include <bcrypt.h>

struct CngKeyTraits {
    using Type = BCRYPT_KEY_HANDLE;
    static Type invalid() { return nullptr; }
    static void close(Type h) { BCryptDestroyKey(h); }
};
using CngKey = UniqueHandle<CngKeyTraits>;

// Opened once for the process and never closed; null when the system has no such provider.
BCRYPT_ALG_HANDLE ecdsaP256Provider();
