#include "child.hpp"
#include "expect.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// One row a Windows build, named as its preset and package are.
struct ImageRow {
    const char* platform;
    const char* objdump;
    const char* format;
    const char* magic;
};

constexpr ImageRow image_rows[] = {
    {"windows-x86", "i686-w64-mingw32-objdump", "pei-i386", R"(010b\s+\(PE32\))"},
    {"windows-x64", "x86_64-w64-mingw32-objdump", "pei-x86-64", R"(020b\s+\(PE32\+\))"},
};

// A toolchain or flag change that pulls in a DLL of the compiler's, or a
// printf of MinGW's own, shows here before it reaches a user.
TEST(WindowsImage, IsAConsoleProgramOnSystemDllsOnly)
{
    const auto& platform = expect::platform;
    const auto* row =
        std::ranges::find_if(image_rows, [&](const ImageRow& r) { return platform == r.platform; });
    ASSERT_NE(row, std::end(image_rows))
        << "HELLOWORLD_PLATFORM must name the Windows build under test, windows-x86 or "
           "windows-x64; it is "
        << (platform.empty() ? "unset" : platform);
    const auto program = child::program();
    const auto headers = child::run_command({row->objdump, "-p", program}).out.value_or("");
    ASSERT_NE(headers, "") << row->objdump << " -p " << program;

    EXPECT_TRUE(std::regex_search(headers, std::regex(std::string("file format ") + row->format)))
        << headers;
    EXPECT_TRUE(std::regex_search(headers, std::regex(std::string(R"(Magic\s+)") + row->magic)))
        << headers;
    EXPECT_TRUE(
        std::regex_search(headers, std::regex(R"(Subsystem\s+00000003\s+\(Windows CUI\))")));

    // Each DLL's imports follow its "DLL Name:" line, one a line, the name
    // last; the columns before it differ between binutils releases.
    std::set<std::string> dlls;
    std::string dll;
    bool msvcrt_printf = false;
    std::istringstream lines(headers);
    const std::regex dll_line(R"(DLL Name: (\S+))");
    const std::regex printf_line(R"(^\s+[0-9a-fA-F]+\s.*\sprintf$)");
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

} // namespace
