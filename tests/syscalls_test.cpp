// The program's calls that reach the system, traced with strace natively,
// with Wine's relay log under Wine and by the WASI host under Node.js, and
// held to one rule: exactly one call that writes, carrying the ten bytes to
// standard output, and no read of standard input.
#include "child.hpp"
#include "expect.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

using expect::greeting;

enum class Io { Write, Read };

struct TracedCall {
    const char* name; // strace's name, or DLL.Function in Wine's relay log
    Io io;
    int target; // the argument naming the descriptor or handle
    int length; // the argument giving the bytes to move; -1: strace's return value
};

// Every call that can move a program's bytes, in either trace.
constexpr TracedCall traced_calls[] = {
    {"write", Io::Write, 0, -1},
    {"writev", Io::Write, 0, -1},
    {"pwrite64", Io::Write, 0, -1},
    {"pwritev", Io::Write, 0, -1},
    {"pwritev2", Io::Write, 0, -1},
    {"sendfile", Io::Write, 0, -1},
    {"sendto", Io::Write, 0, -1},
    {"sendmsg", Io::Write, 0, -1},
    {"splice", Io::Write, 2, -1},
    {"vmsplice", Io::Write, 0, -1},
    {"copy_file_range", Io::Write, 2, -1},
    {"read", Io::Read, 0, -1},
    {"readv", Io::Read, 0, -1},
    {"KERNEL32.WriteFile", Io::Write, 0, 2},
    {"KERNEL32.WriteFileEx", Io::Write, 0, 2},
    {"KERNEL32.WriteFileGather", Io::Write, 0, 2},
    {"KERNEL32.WriteConsoleA", Io::Write, 0, 2},
    {"KERNEL32.WriteConsoleW", Io::Write, 0, 2},
    {"KERNEL32.WriteConsoleOutputCharacterA", Io::Write, 0, 2},
    {"KERNEL32.WriteConsoleOutputCharacterW", Io::Write, 0, 2},
    {"KERNEL32._lwrite", Io::Write, 0, 2},
    {"KERNEL32._hwrite", Io::Write, 0, 2},
    {"ntdll.NtWriteFile", Io::Write, 0, 6},
    {"ntdll.NtWriteFileGather", Io::Write, 0, 6},
    {"KERNEL32.ReadFile", Io::Read, 0, 2},
    {"KERNEL32.ReadFileEx", Io::Read, 0, 2},
    {"KERNEL32.ReadFileScatter", Io::Read, 0, 2},
    {"KERNEL32.ReadConsoleA", Io::Read, 0, 2},
    {"KERNEL32.ReadConsoleW", Io::Read, 0, 2},
    {"KERNEL32.ReadConsoleInputA", Io::Read, 0, 2},
    {"KERNEL32.ReadConsoleInputW", Io::Read, 0, 2},
    {"KERNEL32._lread", Io::Read, 0, 2},
    {"KERNEL32._hread", Io::Read, 0, 2},
    {"ntdll.NtReadFile", Io::Read, 0, 6},
};

const TracedCall* traced(const std::string& name)
{
    for (const auto& call : traced_calls) {
        if (name == call.name) {
            return &call;
        }
    }
    return nullptr;
}

struct Moved {
    std::string line{}; // as traced
    std::string target{};
    std::optional<unsigned long> bytes{};
    std::optional<std::string> data{}; // where the trace shows the bytes
};

struct Trace {
    std::vector<Moved> writes{};
    std::vector<Moved> reads{};
    std::string out{}; // standard output's descriptor or handle
    std::string in{};
};

// Splits "a, {b, c}, "d,e"" at its top-level commas.
std::vector<std::string> arguments(const std::string& text)
{
    std::vector<std::string> result(1);
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            result.back() += text.substr(i++, 2);
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '[' || c == '{' || c == '(')) {
            ++depth;
        } else if (!quoted && (c == ']' || c == '}' || c == ')')) {
            --depth;
        } else if (!quoted && depth == 0 && c == ',') {
            result.emplace_back();
            continue;
        }
        if (c != ' ' || !result.back().empty()) {
            result.back() += c;
        }
    }
    return result;
}

std::string argument(const std::vector<std::string>& args, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < args.size()
               ? args[static_cast<std::size_t>(index)]
               : "";
}

void record(Trace& trace, const TracedCall& call, Moved moved)
{
    (call.io == Io::Write ? trace.writes : trace.reads).push_back(std::move(moved));
}

// strace -f -qq lines: "[pid] name(arguments) = result".
Trace parse_strace(const std::string& text)
{
    Trace trace{.out = "1", .in = "0"};
    const std::regex line_format(R"(^(?:[0-9]+ +)?([a-z0-9_]+)\((.*)\) += (-?[0-9]+).*$)");
    const std::regex quoted(R"re("((?:[^"\\]|\\.)*)")re");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, line_format)) {
            continue;
        }
        const TracedCall* call = traced(match[1]);
        if (call == nullptr) {
            continue;
        }
        const auto args = arguments(match[2]);
        Moved moved{.line = line, .target = argument(args, call->target)};
        if (match[3].str()[0] != '-') {
            moved.bytes = std::stoul(match[3]);
        }
        if (call->name == std::string("write") || call->name == std::string("writev")) {
            std::string data;
            const std::string buffers = match[2].str().substr(args[0].size());
            for (std::sregex_iterator it(buffers.begin(), buffers.end(), quoted), end; it != end;
                 ++it) {
                data += (*it)[1];
            }
            moved.data = data;
        }
        record(trace, *call, std::move(moved));
    }
    return trace;
}

// Wine's relay log: "tid:Call DLL.Function(arguments) ret=..." and
// "tid:Ret  DLL.Function() retval=... ret=...". Only the outermost call
// counts: KERNEL32.WriteFile's own ntdll.NtWriteFile is the same write.
Trace parse_relay(const std::string& text)
{
    Trace trace;
    const std::regex call_format(
        R"(^([0-9a-f]+):Call ([A-Za-z0-9_]+\.[A-Za-z0-9_]+)\((.*)\) ret=[0-9a-f]+$)");
    const std::regex return_format(
        R"(^([0-9a-f]+):Ret  ([A-Za-z0-9_.]+)\(\) retval=([0-9a-f]+) .*$)");
    std::map<std::string, int> open_calls; // a thread's calls under way
    std::map<std::string, std::string> std_handle_asked;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, call_format)) {
            const std::string thread = match[1];
            if (match[2] == "KERNEL32.GetStdHandle") {
                std_handle_asked[thread] = match[3];
            }
            const TracedCall* call = traced(match[2]);
            if (call != nullptr && open_calls[thread]++ == 0) {
                const auto args = arguments(match[3]);
                Moved moved{.line = line, .target = argument(args, call->target)};
                if (const auto length = argument(args, call->length); !length.empty()) {
                    moved.bytes = std::stoul(length, nullptr, 16);
                }
                record(trace, *call, std::move(moved));
            }
        } else if (std::regex_match(line, match, return_format)) {
            const std::string thread = match[1];
            if (match[2] == "KERNEL32.GetStdHandle") {
                // The first answer for each stream; STD_OUTPUT_HANDLE is -11,
                // STD_INPUT_HANDLE -10.
                const auto& asked = std_handle_asked[thread];
                for (auto [code, handle] :
                     {std::pair{"fffffff5", &trace.out}, std::pair{"fffffff6", &trace.in}}) {
                    if (asked == code && handle->empty()) {
                        *handle = match[3];
                    }
                }
            } else if (traced(match[2]) != nullptr) {
                --open_calls[thread];
            }
        }
    }
    return trace;
}

void expect_one_write_of_the_greeting(const Trace& trace)
{
    ASSERT_FALSE(trace.out.empty()) << "the trace does not show standard output's handle";
    std::string writes;
    for (const auto& write : trace.writes) {
        writes += "\n  " + write.line;
    }
    ASSERT_EQ(trace.writes.size(), 1U) << "calls that write:" << writes;
    const auto& write = trace.writes.front();
    EXPECT_EQ(write.target, trace.out) << write.line;
    EXPECT_EQ(write.bytes, greeting.size()) << write.line;
    if (write.data) {
        EXPECT_EQ(*write.data, greeting) << write.line;
    }
    for (const auto& read : trace.reads) {
        EXPECT_NE(read.target, trace.in) << "reads standard input: " << read.line;
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

TEST(SystemCalls, OneWriteOfTheGreetingAndNoReadOfStandardInput)
{
    if (expect::windows_build()) {
        // One untraced run first, so that the services Wine starts in a new
        // prefix are up and their own calls stay out of the log. The files
        // Wine itself opens are not the program's and are not judged here.
        expect::greeting_only(child::run({}));
        const auto r = child::run({.tracer = {"env", "WINEDEBUG=+relay"}});
        EXPECT_EQ(expect::ended(r), "exit 0");
        EXPECT_EQ(r.out, greeting);
        // The log is on standard error, with anything the program writes
        // there; such a write would be a second call that writes.
        expect_one_write_of_the_greeting(parse_relay(r.err));
        return;
    }
    if (expect::wasi_build()) {
        // The host records each of the module's WASI calls that names a
        // descriptor (tests/wasi-host.mjs). A call on 0, 1 or 2 must be one of
        // these, succeeding; none reads or waits on standard input.
        const std::set<std::string> allowed = {
            "fd_fdstat_get(1)",            // stdio: is it a terminal, to buffer it?
            "fd_write(1, \"helloworld\")", // the greeting, whole
            "fd_close(1)",                 // the close that catches a late write error
        };
        std::string path = child::temp_template("trace");
        const child::Fd file(mkostemp(path.data(), O_CLOEXEC));
        ASSERT_GE(file.get(), 0);
        const auto r = child::run({.tracer = {"env", "HELLOWORLD_WASI_TRACE=" + path}});
        unlink(path.c_str());
        expect::greeting_only(r);
        // "name(fd, ...) = errno"; poll_oneoff's "(fd_read fd)" for what it waits on.
        const std::regex call(R"(^(\w+)\((?:fd_read |fd_write )?([0-9]+)(.*)\) = ([0-9]+)$)");
        int writes = 0;
        std::istringstream lines(child::drain(file.get()));
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, call)) << line;
            writes += m[1] == "fd_write" ? 1 : 0;
            const auto named = m[1].str() + "(" + m[2].str() + m[3].str() + ")";
            EXPECT_TRUE(std::stoi(m[2]) > 2 || (allowed.contains(named) && m[4] == "0"))
                << "a call on standard input, output or error not on the list: " << line;
        }
        EXPECT_EQ(writes, 1) << "calls that write";
        return;
    }
    if (sanitized) {
        GTEST_SKIP() << "the trace would show the sanitizer's own calls";
    }

    std::string path = child::temp_template("trace");
    const child::Fd file(mkostemp(path.data(), O_CLOEXEC));
    ASSERT_GE(file.get(), 0);
    std::string calls = "open,openat,creat";
    for (const auto& call : traced_calls) {
        if (std::string(call.name).find('.') == std::string::npos) {
            calls += std::string(",") + call.name;
        }
    }
    // Under qemu-user, the guest's calls that move bytes reach the host as
    // they are.
    const auto r =
        child::run({.tracer = {"strace", "-f", "-qq", "-o", path, "-e", "trace=" + calls}});
    const auto text = child::drain(file.get());
    unlink(path.c_str());
    expect::greeting_only(r);
    expect_one_write_of_the_greeting(parse_strace(text));

    // Natively, no file is opened but the dynamic loader's; a launcher's
    // files are its own.
    if (!child::launcher().empty()) {
        return;
    }
    const std::regex opens(R"(^(?:[0-9]+ +)?(open|openat|creat)\()");
    const std::regex loader_file(R"re("(/etc/ld\.so\.cache|[^"]*\.so(\.[0-9]+)*)")re");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, opens) && !std::regex_search(line, loader_file)) {
            ADD_FAILURE() << "opens a file: " << line;
        }
    }
}

} // namespace
