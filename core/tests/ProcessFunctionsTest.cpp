#include <keldar/core/ProcessFunctions.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>
#include <string>

using Keldar::Process::ProcessFunctions::processExists;

namespace {

std::wstring ownName()
{
    const auto name = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    return std::wstring(name.begin(), name.end());
}

} // namespace

TEST(ProcessExists, FindsThisTestProcess)
{
    const auto name = ownName();
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(processExists(name, 1));
}

TEST(ProcessExists, ComparesOverTheGivenLength)
{
    const auto name = ownName();
    ASSERT_GT(name.size(), 4U);
    EXPECT_TRUE(processExists(name.substr(0, 4), 1));
    // Longer than any process name: the extra character must not be ignored.
    EXPECT_FALSE(processExists(name + L"-nonexistent-suffix", 1));
}

TEST(ProcessExists, CountAboveRunningInstancesIsFalse)
{
    EXPECT_FALSE(processExists(ownName(), 100000));
}

TEST(ProcessExists, IsCaseSensitive)
{
    auto name = ownName();
    for (auto& c : name) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    ASSERT_NE(name, ownName());
    EXPECT_FALSE(processExists(name, 1));
}

TEST(ProcessExists, NonsenseNameIsFalse)
{
    EXPECT_FALSE(processExists(L"zz-no-such-program-\u00e9\u4e2d-4711", 1));
    EXPECT_FALSE(processExists(L"", 1));
}
