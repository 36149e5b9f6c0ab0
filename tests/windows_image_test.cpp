#include "child.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string objdump_headers(const std::string& path)
{
    const char* tool = std::getenv("HELLOWORLD_OBJDUMP");
    return child::run_command({tool != nullptr ? tool : "i686-w64-mingw32-objdump", "-p", path})
        .out;
}

// A toolchain or flag change that pulls in a DLL of the compiler's, or a
// printf of MinGW's own, shows here before it reaches a user.
TEST(WindowsImage, IsA32BitConsoleProgramOnSystemDllsOnly)
{
    const auto program = child::program();
    if (!std::regex_search(program, std::regex(R"(\.exe$)"))) {
        GTEST_SKIP() << "the program under test is not a Windows executable";
    }
    const auto headers = objdump_headers(program);
    ASSERT_NE(headers, "");

    EXPECT_TRUE(std::regex_search(headers, std::regex("file format pei-i386"))) << headers;
    EXPECT_TRUE(std::regex_search(headers, std::regex(R"(Magic\s+010b\s+\(PE32\))")));
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

} // namespace
