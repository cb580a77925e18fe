#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

TEST(Platform, PointerSizeMatchesTheTarget)
{
    EXPECT_EQ(sizeof(void*), static_cast<std::size_t>(GROVANE_EXPECT_POINTER_BYTES));
}

#ifdef _WIN32
TEST(Platform, Win32CallsSucceed)
{
    char dir[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
    ASSERT_GT(n, 0u);
    EXPECT_NE(std::string(dir).find("system32"), std::string::npos) << dir;
    // A 32-bit process under 64-bit Windows or Wine would see SysWOW64 through
    // GetSystemWow64Directory; a pure 32-bit Wine prefix has none.
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    if (sizeof(void*) == 8)
        EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    else
        EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
}
#endif
