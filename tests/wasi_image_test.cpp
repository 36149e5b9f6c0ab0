#include "child.hpp"
#include "expect.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// Every WASI call the module may import, and why wasi-libc needs it. Any
// other import, or one from a module but WASI's, means a toolchain or code
// change gave the program something to do that it does not need.
struct WasiImport {
    const char* name;
    const char* why;
};

constexpr WasiImport wasi_imports[] = {
    {"fd_close", "fclose(stdout), which catches a write error reported only at close"},
    {"fd_fdstat_get", "stdio asking whether standard output is a terminal, to buffer it"},
    {"fd_seek", "stdio's flush, which gives back unread input; linked in, never called"},
    {"fd_write", "the one write of the greeting, and the error message"},
    {"proc_exit", "exit status 1"},
};

TEST(WasiImage, ImportsOnlyTheWasiCallsItNeeds)
{
    ASSERT_TRUE(expect::wasi_build) << "HELLOWORLD_PLATFORM must be wasi, for the module";
    const auto program = child::program();
    const auto dump = child::run_command({"wasm-objdump", "-x", "-j", "Import", program});
    ASSERT_EQ(expect::ended(dump), "exit 0") << "wasm-objdump -x -j Import " << program << "\n"
                                             << dump.err.value_or("");
    const auto out = dump.out.value_or("");
    EXPECT_TRUE(std::regex_search(out, std::regex("file format wasm 0x1"))) << out;

    // " - func[3] sig=5 <alias> <- wasi_snapshot_preview1.fd_write", and the
    // like for a memory, table or global import.
    std::set<std::string> imported;
    std::istringstream lines(out);
    const std::regex import_line(R"(^ - .* <- (\S+)$)");
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch match; std::regex_match(line, match, import_line)) {
            imported.insert(match[1]);
        }
    }
    std::set<std::string> allowed;
    for (const auto& call : wasi_imports) {
        allowed.insert(std::string("wasi_snapshot_preview1.") + call.name);
    }
    EXPECT_EQ(imported, allowed) << out;
}

} // namespace
