#include "child.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// One row a Windows build; HELLOWORLD_PLATFORM names the one under test.
struct ImageRow {
    const char* name;
    const char* platform; // as in the package's name
    const char* objdump;
    const char* format;
    const char* magic;
};

class WindowsImage : public testing::TestWithParam<ImageRow> {};

// A toolchain or flag change that pulls in a DLL of the compiler's, or a
// printf of MinGW's own, shows here before it reaches a user.
TEST_P(WindowsImage, IsAConsoleProgramOnSystemDllsOnly)
{
    const auto& row = GetParam();
    const auto program = child::program();
    if (!std::regex_search(program, std::regex(R"(\.exe$)"))) {
        GTEST_SKIP() << "the program under test is not a Windows executable";
    }
    const char* platform = std::getenv("HELLOWORLD_PLATFORM");
    ASSERT_NE(platform, nullptr) << "set HELLOWORLD_PLATFORM to the platform " << program
                                 << " is built for, as its package names it";
    if (std::string(platform) != row.platform) {
        GTEST_SKIP() << "the program under test is built for " << platform;
    }
    const char* tool = std::getenv("HELLOWORLD_OBJDUMP");
    const auto headers =
        child::run_command({tool != nullptr ? tool : row.objdump, "-p", program}).out;
    ASSERT_NE(headers, "");

    EXPECT_TRUE(std::regex_search(headers, std::regex(std::string("file format ") + row.format)))
        << headers;
    EXPECT_TRUE(std::regex_search(headers, std::regex(std::string(R"(Magic\s+)") + row.magic)))
        << headers;
    EXPECT_TRUE(
        std::regex_search(headers, std::regex(R"(Subsystem\s+00000003\s+\(Windows CUI\))")));

    std::set<std::string> dlls;
    std::string dll;
    bool msvcrt_printf = false;
    std::istringstream lines(headers);
    const std::regex dll_line(R"(DLL Name: (\S+))");
    const std::regex printf_line(R"(^\s+[0-9a-f]+\s+[0-9]+\s+printf$)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, dll_line)) {
            dll = match[1];
            dlls.insert(dll);
        } else if (dll == "msvcrt.dll" && std::regex_search(line, printf_line)) {
            msvcrt_printf = true;
        }
    }
    EXPECT_EQ(dlls, (std::set<std::string>{"KERNEL32.dll", "msvcrt.dll"}));
    EXPECT_TRUE(msvcrt_printf) << "printf is not msvcrt's";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsImage,
    testing::Values(ImageRow{"X86", "windows-x86", "i686-w64-mingw32-objdump", "pei-i386",
                             R"(010b\s+\(PE32\))"},
                    ImageRow{"X86_64", "windows-x86_64", "x86_64-w64-mingw32-objdump", "pei-x86-64",
                             R"(020b\s+\(PE32\+\))"}),
    [](const testing::TestParamInfo<ImageRow>& row) { return row.param.name; });

} // namespace
