#include "store/unicode_case.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// The table built into the launcher is the system's own, unit for unit.
TEST(UnicodeCase, EveryUnitUpcasesAsTheSystemDoes) {
    using Upcase = WCHAR(NTAPI*)(WCHAR);
    const auto upcase = reinterpret_cast<Upcase>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "RtlUpcaseUnicodeChar")));
    ASSERT_NE(upcase, nullptr);
    int differing = 0;
    for (unsigned c = 0; c < 0x10000; ++c) {
        const auto unit = static_cast<char16_t>(c);
        if (upcaseUnit(unit) != static_cast<char16_t>(upcase(static_cast<WCHAR>(c)))) ++differing;
        // Names that fold together compare equal ignoring case, as the file system finds them.
        const wchar_t a = static_cast<wchar_t>(c), b = static_cast<wchar_t>(upcaseUnit(unit));
        if (CompareStringOrdinal(&a, 1, &b, 1, TRUE) != CSTR_EQUAL) ++differing;
    }
    EXPECT_EQ(differing, 0);
}

} // namespace
