// Every call that reaches the system and names a standard stream, traced with
// strace natively and under qemu-user, with Wine's relay log under Wine and by
// the WASI host under Node.js, and held to one short list of what may touch a standard stream at
// all: exactly one write, of the ten bytes to standard output, and what the C library does to look
// at and close standard output. Anything else on a standard stream, standard input above all,
// fails: a read by any name, and any wait.
#include "child.hpp"
#include "expect.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>

namespace {

using expect::greeting;

struct Call {
    std::string line{};              // as traced
    std::string name{};              // strace's or WASI's, or DLL.Function in the relay log
    std::vector<std::string> args{}; // the relay log's, which are plain numbers
    std::set<std::string> streams{}; // the standard streams it names: "in", "out", "err"
    std::string data{};              // the bytes or path a strace line shows, quoted strings joined
    std::string result{};
};

const std::regex quoted(R"re("((?:[^"\\]|\\.)*)")re");

// strace -ff -qq -y lines, a file a thread: "name(arguments) = result",
// where -y shows every descriptor, in any argument or structure, as
// "N<path>"; the WASI host (tests/wasi-host.mjs) logs the module's calls in
// the same form. standard_input: what -y shows standard input is; the
// program never names it.
std::vector<Call> parse_strace(const std::vector<std::string>& lines,
                               const std::string& standard_input)
{
    const std::regex call_format(R"(^([a-z0-9_]+)\((.*)\) += (.*)$)");
    const std::regex descriptor(R"((^|[^0-9])([0-9]+)<([^>]*)>)");

    // Each standard stream by number, and by what -y shows it is: another
    // descriptor for the same file or pipe (an open of /proc/self/fd/0, say,
    // which a launcher's own opens hide) names that stream too.
    const auto descriptors = [&](const std::string& line) {
        const auto unquoted = std::regex_replace(line, quoted, "\"\"");
        std::vector<std::pair<std::string, std::string>> result; // number, path
        for (std::sregex_iterator fd(unquoted.begin(), unquoted.end(), descriptor), end; fd != end;
             ++fd) {
            result.emplace_back((*fd)[2], (*fd)[3]);
        }
        return result;
    };
    const std::map<std::string, std::string> stream_of{{"0", "in"}, {"1", "out"}, {"2", "err"}};
    std::map<std::string, std::set<std::string>> streams_at{{standard_input, {"in"}}}; // by path
    for (const auto& line : lines) {
        for (const auto& [number, path] : descriptors(line)) {
            if (stream_of.contains(number)) {
                streams_at[path].insert(stream_of.at(number));
            }
        }
    }

    std::vector<Call> calls;
    for (const auto& line : lines) {
        std::smatch match;
        if (!std::regex_match(line, match, call_format)) {
            continue; // signals and exits: "--- SIG...", "+++ exited ..."
        }
        Call call{.line = line, .name = match[1], .result = match[3]};
        for (std::sregex_iterator it(line.begin(), line.end(), quoted), end; it != end; ++it) {
            call.data += (*it)[1];
        }
        for (const auto& [number, path] : descriptors(line)) {
            if (stream_of.contains(number)) {
                call.streams.insert(stream_of.at(number));
            } else if (streams_at.contains(path)) {
                call.streams.insert(streams_at.at(path).begin(), streams_at.at(path).end());
            }
        }
        // io_uring takes its requests, and their descriptors, in shared
        // memory the trace does not show: judged as naming all three.
        if (call.name.starts_with("io_uring_")) {
            call.streams = {"in", "out", "err"};
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

// Wine's relay log: "tid:Call DLL.Function(arguments) ret=..." and
// "tid:Ret  DLL.Function() retval=... ret=...". A call names a standard stream
// when its first argument is a handle that GetStdHandle returned; calls made
// before that, and msvcrt's (which take no handles), are not judged, since
// their first argument may be the same number by chance.
std::vector<Call> parse_relay(const std::string& text)
{
    const std::regex call_format(
        R"(^([0-9a-f]+):Call ([A-Za-z0-9_]+\.[A-Za-z0-9_]+)\((.*)\) ret=[0-9a-f]+$)");
    const std::regex return_format(
        R"(^([0-9a-f]+):Ret  KERNEL32\.GetStdHandle\(\) retval=([0-9a-f]+) .*$)");
    // STD_INPUT_HANDLE is -10, STD_OUTPUT_HANDLE -11, STD_ERROR_HANDLE -12.
    const std::map<std::string, std::string> stream_of{
        {"fffffff6", "in"}, {"fffffff5", "out"}, {"fffffff4", "err"}};
    std::map<std::string, std::string> asked; // by thread
    std::map<std::string, std::string> handles;
    std::vector<Call> calls;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, return_format)) {
            if (stream_of.contains(asked[match[1]])) {
                handles.emplace(match[2], stream_of.at(asked[match[1]]));
            }
        } else if (std::regex_match(line, match, call_format)) {
            Call call{.line = line, .name = match[2]};
            std::istringstream args(match[3].str() + ','); // "()": one empty argument
            for (std::string arg; std::getline(args, arg, ',');) {
                call.args.push_back(arg);
            }
            if (call.name == "KERNEL32.GetStdHandle") {
                asked[match[1]] = call.args[0];
            }
            if (!call.name.starts_with("msvcrt.") && handles.contains(call.args[0])) {
                call.streams.insert(handles.at(call.args[0]));
            }
            // A duplicate is the same stream under a handle the log does not
            // show: duplicating a standard handle is judged as a call on it.
            const bool duplicates =
                call.name.ends_with(".DuplicateHandle") || call.name == "ntdll.NtDuplicateObject";
            if (duplicates && call.args.size() > 1 && handles.contains(call.args[1])) {
                call.streams.insert(handles.at(call.args[1]));
            }
            // A wait on several handles takes them in an array the log does
            // not show: judged as a wait on all three.
            if (call.name.find("WaitForMultipleObjects") != std::string::npos && !handles.empty()) {
                call.streams = {"in", "out", "err"};
            }
            calls.push_back(std::move(call));
        }
    }
    return calls;
}

enum class Verdict { Greeting, Allowed, Refused };

// The one list of what may touch a standard stream. Each entry is what the
// program itself does (the greeting) or what its C library does on its behalf.
Verdict judge(const Call& call)
{
    const auto& name = call.name;
    // msvcrt's start-up asks each standard handle's type, to set up its
    // descriptors 0, 1 and 2: no read, and no wait.
    if (call.streams.size() == 1 &&
        (name == "KERNEL32.GetFileType" || name == "ntdll.NtQueryVolumeInformationFile")) {
        return Verdict::Allowed;
    }
    if (call.streams != std::set<std::string>{"out"}) {
        return Verdict::Refused; // standard input or error, or two streams at once
    }
    const auto arg = [&](std::size_t i) { return i < call.args.size() ? call.args[i] : ""; };
    // The greeting: glibc's write; musl's writev and wasi-libc's fd_write,
    // whose other part is empty.
    if ((name == "write" || name == "writev" || name == "fd_write") && call.data == greeting &&
        call.result == "10") {
        return Verdict::Greeting;
    }
    // Under Wine, msvcrt's WriteFile of the ten bytes, and in it ntdll's
    // NtWriteFile, which is the write that reaches the system.
    if (name == "ntdll.NtWriteFile" && arg(6) == "0000000a") {
        return Verdict::Greeting;
    }
    if (name == "KERNEL32.WriteFile" && arg(2) == "0000000a") {
        return Verdict::Allowed;
    }
    // The C library looks at standard output to choose its buffering: glibc
    // stats it (statx on 32-bit targets), musl asks for a window size, and
    // wasi-libc for the descriptor's type.
    if (name == "fstat" || name == "fstat64" || name == "newfstatat" || name == "statx" ||
        (name == "ioctl" && call.line.find("TIOCGWINSZ") != std::string::npos) ||
        name == "fd_fdstat_get") {
        return Verdict::Allowed;
    }
    // The program closes standard output to see a failed write's late error.
    if (name == "close" || name == "fd_close" || name == "KERNEL32.CloseHandle" ||
        name == "ntdll.NtClose") {
        return Verdict::Allowed;
    }
    return Verdict::Refused;
}

void expect_only_the_greeting(const std::vector<Call>& calls)
{
    std::string greetings;
    int count = 0;
    for (const auto& call : calls) {
        if (call.streams.empty()) {
            continue;
        }
        const auto verdict = judge(call);
        EXPECT_NE(verdict, Verdict::Refused) << "a call on a standard stream: " << call.line;
        if (verdict == Verdict::Greeting) {
            ++count;
            greetings += "\n  " + call.line;
        }
    }
    EXPECT_EQ(count, 1) << "writes of the greeting:" << greetings;
}

TEST(SystemCalls, OneWriteOfTheGreetingAndNoReadOfStandardInput)
{
    if (expect::windows_build) {
        // One untraced run first, so that the services Wine starts in a new
        // prefix are up and their own calls stay out of the log. The files
        // Wine itself opens are not the program's and are not judged here.
        expect::greeting_only(child::run({}));
        const auto r = child::run({.wrapper = {"env", "WINEDEBUG=+relay"}});
        EXPECT_EQ(expect::ended(r), "exit 0");
        EXPECT_EQ(r.out, greeting);
        // The log is on standard error, with anything the program writes
        // there; such a write would be a call on standard error.
        expect_only_the_greeting(parse_relay(r.err.value_or("")));
        return;
    }
    std::string dir = child::temp_template("trace");
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    // Removed however the case ends: the deleter runs for a null pointer too.
    const std::shared_ptr<void> remove(nullptr,
                                       [&dir](void*) { std::filesystem::remove_all(dir); });
    // All three standard streams open, so that -y names each; standard
    // input an idle pipe, on which a wait is a real one. Under qemu-user,
    // the guest's calls reach the host as they are; the WASI host logs the
    // module's own.
    const auto input = child::make_pipe();
    struct stat st = {};
    ASSERT_EQ(fstat(input.read.get(), &st), 0);
    const auto wrapper =
        expect::wasi_build
            ? std::vector<std::string>{"env", "HELLOWORLD_WASI_TRACE=" + dir + "/trace"}
            : std::vector<std::string>{"strace", "-ff", "-qq", "-y", "-o", dir + "/trace"};
    const auto r = child::run({.in = input.read.get(), .wrapper = wrapper});
    std::vector<std::string> lines; // every thread's
    for (const auto& trace : std::filesystem::directory_iterator(dir)) {
        std::ifstream file(trace.path());
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
    }
    expect::greeting_only(r);
    const auto calls = parse_strace(lines, "pipe:[" + std::to_string(st.st_ino) + "]");
    expect_only_the_greeting(calls);
    if (expect::wasi_build) {
        EXPECT_EQ(calls.size(), lines.size())
            << "unreadable lines in " << testing::PrintToString(lines);
    }

    // No file is opened but the dynamic loader's; a launcher's files are its
    // own. The WASI module has no directory to open a file in: any path_*
    // call is one it tries to open.
    const std::regex loader_file(R"(/etc/ld\.so\.cache|.*\.so(\.[0-9]+)*)");
    const std::set<std::string> opens{"open", "openat", "openat2", "creat"};
    for (const auto& call : calls) {
        // The path is the one quoted string of these calls.
        const bool opens_a_file = expect::wasi_build
                                      ? call.name.starts_with("path_")
                                      : child::launcher().empty() && opens.contains(call.name) &&
                                            !std::regex_match(call.data, loader_file);
        EXPECT_FALSE(opens_a_file) << "opens a file: " << call.line;
    }
}

} // namespace
