#include "child.hpp"
#include "expect.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <regex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

using expect::ended;
using expect::greeting;
using expect::windows_build;

template <class Row> std::string row_name(const testing::TestParamInfo<Row>& info)
{
    return info.param.name;
}

// ---- Arguments ----

struct ArgumentsRow {
    const char* name;
    std::vector<std::string> args;
};

class Arguments : public testing::TestWithParam<ArgumentsRow> {};

TEST_P(Arguments, AreIgnored)
{
    std::size_t length = 0;
    for (const auto& arg : GetParam().args) {
        length += arg.size() + 1;
    }
    if (windows_build && length > 32000) {
        GTEST_SKIP() << "a Windows command line holds at most 32767 characters";
    }
    expect::greeting_only(child::run({.args = GetParam().args}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Arguments,
    testing::Values(ArgumentsRow{"None", {}}, ArgumentsRow{"Help", {"--help"}},
                    ArgumentsRow{"ShortHelp", {"-h"}}, ArgumentsRow{"Version", {"--version"}},
                    ArgumentsRow{"EndOfOptions", {"--"}}, ArgumentsRow{"Dash", {"-"}},
                    ArgumentsRow{"Wildcards", {"*", "?", "[a-z]*", "*.txt"}},
                    ArgumentsRow{"FormatDirectives", {"%s%n%d", "%%"}},
                    ArgumentsRow{"EmptyString", {""}},
                    ArgumentsRow{"NotUtf8", {"\xff\xfe", "\xc3\x28", "\x80"}},
                    ArgumentsRow{"AThousand", std::vector<std::string>(1000, "arg")},
                    ArgumentsRow{"VeryLong", {std::string(100000, 'a')}}),
    row_name<ArgumentsRow>);

// ---- Standard input ----

enum class Input { Closed, DevNull, Terminal, IdlePipe, PipeWithData, FileWithData };

struct InputRow {
    const char* name;
    Input input;
};

class StandardInput : public testing::TestWithParam<InputRow> {};

TEST_P(StandardInput, IsNeverRead)
{
    const auto input = GetParam().input;
    const std::string data = "input that must stay unread\n";
    // Each kind of stream, one of them handed over; the other ends stay open
    // for the whole run, except the writer of a pipe that holds data.
    const auto terminal = child::make_terminal();
    auto pipe = child::make_pipe();
    const auto file = child::temp_file();
    ASSERT_EQ(pwrite(file.get(), data.data(), data.size(), 0), data.size());
    if (input == Input::PipeWithData) {
        ASSERT_EQ(write(pipe.write.get(), data.data(), data.size()), data.size());
        pipe.write.reset();
    }
    int in = child::closed;
    if (input == Input::DevNull) {
        in = child::dev_null;
    } else if (input == Input::Terminal) {
        in = terminal.terminal.get();
    } else if (input == Input::IdlePipe || input == Input::PipeWithData) {
        in = pipe.read.get();
    } else if (input == Input::FileWithData) {
        in = file.get();
    }

    expect::greeting_only(child::run({.in = in}));

    if (input == Input::PipeWithData || input == Input::FileWithData) {
        // Reads from the offset the child shares: whatever it read is gone.
        EXPECT_EQ(child::drain(in), data);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, StandardInput,
                         testing::Values(InputRow{"Closed", Input::Closed},
                                         InputRow{"DevNull", Input::DevNull},
                                         InputRow{"Terminal", Input::Terminal},
                                         InputRow{"PipeWhoseWriterStaysOpen", Input::IdlePipe},
                                         InputRow{"PipeWithData", Input::PipeWithData},
                                         InputRow{"FileWithData", Input::FileWithData}),
                         row_name<InputRow>);

// ---- Standard output ----

enum class Output { Pipe, Terminal, FileAppendedTwice };

struct OutputRow {
    const char* name;
    Output output;
};

class StandardOutput : public testing::TestWithParam<OutputRow> {};

TEST_P(StandardOutput, GetsExactlyTheGreeting)
{
    switch (GetParam().output) {
    case Output::Pipe: {
        auto pipe = child::make_pipe();
        const auto r = child::run({.out = pipe.write.get()});
        pipe.write.reset();
        expect::greeting_only(r, child::drain(pipe.read.get()));
        break;
    }
    case Output::Terminal: {
        auto terminal = child::make_terminal();
        const auto r = child::run({.out = terminal.terminal.get()});
        auto shown = child::drain(terminal.master.get());
        if (windows_build) {
            // Wine's console hides the cursor while it writes; those two
            // sequences are its own, any other byte is the program's.
            shown = std::regex_replace(shown, std::regex(R"(\x1b\[\?25[lh])"), "");
        }
        expect::greeting_only(r, shown);
        break;
    }
    case Output::FileAppendedTwice: {
        auto file = child::temp_file();
        ASSERT_EQ(fcntl(file.get(), F_SETFL, O_APPEND), 0);
        for (const auto& before : {std::string(), greeting}) {
            const auto r = child::run({.out = file.get()});
            const auto now = child::contents(file.get());
            ASSERT_TRUE(now.starts_with(before)) << "overwrote the file: " << now;
            expect::greeting_only(r, now.substr(before.size()));
        }
        EXPECT_EQ(child::drain(file.get()), "") << "not appended";
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, StandardOutput,
                         testing::Values(OutputRow{"Pipe", Output::Pipe},
                                         OutputRow{"Terminal", Output::Terminal},
                                         OutputRow{"FileAppendedTwice", Output::FileAppendedTwice}),
                         row_name<OutputRow>);

// ---- Environment and working directory ----

struct EnvironmentRow {
    const char* name;
    std::vector<std::string> env;
    const char* locale = nullptr; // the one the row names, which must exist or not
    bool installed = true;
};

class Environment : public testing::TestWithParam<EnvironmentRow> {};

TEST_P(Environment, HasNoEffect)
{
    if (const char* name = GetParam().locale) {
        auto* const locale = newlocale(LC_ALL_MASK, name, nullptr);
        const bool installed = locale != nullptr;
        if (installed) {
            freelocale(locale);
        }
        ASSERT_EQ(installed, GetParam().installed)
            << "the row tests nothing: locale " << name << (installed ? " exists" : " is missing")
            << " (Debian: locales-all)";
    }
    expect::greeting_only(child::run({.env = GetParam().env}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Environment,
    testing::Values(EnvironmentRow{"Empty", {}}, EnvironmentRow{"CLocale", {"LC_ALL=C"}, "C"},
                    EnvironmentRow{"Utf8Locale", {"LC_ALL=C.UTF-8", "LANG=C.UTF-8"}, "C.UTF-8"},
                    EnvironmentRow{"TurkishLocale", {"LC_ALL=tr_TR.UTF-8"}, "tr_TR.UTF-8"},
                    EnvironmentRow{"UnknownLocale",
                                   {"LANG=xx_XX.ISO-8859-15", "LC_ALL="},
                                   "xx_XX.ISO-8859-15",
                                   false},
                    EnvironmentRow{"PosixlyCorrect", {"POSIXLY_CORRECT=1"}}),
    row_name<EnvironmentRow>);

enum class Directory { Root, Fresh, Deleted };

struct DirectoryRow {
    const char* name;
    Directory directory;
};

class WorkingDirectory : public testing::TestWithParam<DirectoryRow> {};

TEST_P(WorkingDirectory, HasNoEffect)
{
    const auto kind = GetParam().directory;
    std::string path = kind == Directory::Root ? "/" : child::temp_template("cwd");
    ASSERT_TRUE(kind == Directory::Root || mkdtemp(path.data()) != nullptr);
    const child::Fd dir(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(dir.get(), 0);
    if (kind == Directory::Deleted) {
        ASSERT_EQ(rmdir(path.c_str()), 0);
        if (windows_build) {
            GTEST_SKIP() << "Wine itself reports the missing directory on standard error";
        }
    }
    expect::greeting_only(child::run({.cwd = dir.get()}));
    if (kind == Directory::Fresh) {
        EXPECT_EQ(rmdir(path.c_str()), 0) << "the program left something behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, WorkingDirectory,
                         testing::Values(DirectoryRow{"Root", Directory::Root},
                                         DirectoryRow{"FreshAndLeftEmpty", Directory::Fresh},
                                         DirectoryRow{"Deleted", Directory::Deleted}),
                         row_name<DirectoryRow>);

// ---- Write failures ----

enum class Sink { DevFull, Closed, BrokenPipe, FileSizeLimit, FullNonBlockingPipe };

struct FailureRow {
    const char* name;
    Sink sink;
    const char* text = nullptr;      // the system's text for the error; none: stderr is closed
    const char* wine_text = nullptr; // where msvcrt under Wine words it otherwise
};

class WriteFailure : public testing::TestWithParam<FailureRow> {};

TEST_P(WriteFailure, IsReportedWithStatus1)
{
    const auto& row = GetParam();
    const bool stderr_closed = row.text == nullptr;
    if (windows_build && row.sink == Sink::Closed && stderr_closed) {
        GTEST_SKIP() << "with descriptors 1 and 2 both closed, Wine may give one to its own "
                        "server connection, which then swallows the greeting";
    }
    if (expect::wasi_build && row.sink == Sink::Closed) {
        GTEST_SKIP() << "Node.js opens /dev/null on a standard descriptor it starts without, "
                        "and the module writes there";
    }
    if (windows_build && row.sink == Sink::FullNonBlockingPipe) {
        GTEST_SKIP() << "Wine waits for room in a non-blocking pipe instead of failing the write";
    }
    child::Options options{.out = child::closed,
                           .err = stderr_closed ? child::closed : child::capture,
                           .signals_ignored = true};
    const child::Fd dev_full(open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_GE(dev_full.get(), 0);
    // Standard output, or under a file-size limit standard error: the limit
    // holds for a file there too.
    auto pipe = child::make_pipe();
    std::size_t filled = 0;
    switch (row.sink) {
    case Sink::DevFull:
        options.out = dev_full.get();
        break;
    case Sink::Closed:
        break;
    case Sink::BrokenPipe:
        pipe.read.reset();
        options.out = pipe.write.get();
        break;
    case Sink::FileSizeLimit: // five bytes fit
        options.out = child::capture;
        options.err = pipe.write.get();
        options.wrapper = {"prlimit", "--fsize=5", "--"};
        break;
    case Sink::FullNonBlockingPipe: {
        ASSERT_EQ(fcntl(pipe.write.get(), F_SETFL, O_NONBLOCK), 0);
        const std::string block(4096, 'x');
        for (ssize_t n = 0; (n = write(pipe.write.get(), block.data(), block.size())) > 0;) {
            filled += static_cast<std::size_t>(n);
        }
        ASSERT_EQ(errno, EAGAIN);
        options.out = pipe.write.get(); // its reader kept open: full, not broken
        break;
    }
    }

    auto r = child::run(options);
    // What the sink received, where it can be read: /dev/full and a pipe
    // without a reader keep nothing.
    auto received = r.out;
    pipe.write.reset();
    if (row.sink == Sink::FileSizeLimit) {
        r.err = child::drain(pipe.read.get());
    } else if (row.sink == Sink::FullNonBlockingPipe) {
        received = child::drain(pipe.read.get()).substr(filled);
    }

    EXPECT_EQ(ended(r), "exit 1");
    EXPECT_EQ(r.changed, "");
    if (received) {
        EXPECT_LT(received->size(), greeting.size()) << *received;
        EXPECT_EQ(*received, greeting.substr(0, received->size())) << "not a part of the greeting";
        EXPECT_TRUE(row.sink != Sink::FileSizeLimit || *received == "hello") << "lost what fit";
    }
    if (!stderr_closed) {
        const char* text = windows_build && row.wine_text != nullptr ? row.wine_text : row.text;
        // msvcrt's text mode ends a line with CR LF.
        const char* eol = windows_build ? "\r\n" : "\n";
        EXPECT_EQ(r.err, std::string("helloworld: write error: ") + text + eol);
    }
}

// Wine reports a pipe without a reader as disconnected, which msvcrt turns
// into EINVAL.
INSTANTIATE_TEST_SUITE_P(
    Rows, WriteFailure,
    testing::Values(FailureRow{"DevFull", Sink::DevFull, "No space left on device"},
                    FailureRow{"DevFullAndNoStderr", Sink::DevFull},
                    FailureRow{"ClosedStdout", Sink::Closed, "Bad file descriptor"},
                    FailureRow{"ClosedStdoutAndStderr", Sink::Closed},
                    FailureRow{"BrokenPipe", Sink::BrokenPipe, "Broken pipe", "Invalid argument"},
                    FailureRow{"BrokenPipeAndNoStderr", Sink::BrokenPipe},
                    FailureRow{"PartialWriteAtAFileSizeLimit", Sink::FileSizeLimit,
                               "File too large", "Invalid argument"},
                    FailureRow{"FullNonBlockingPipe", Sink::FullNonBlockingPipe,
                               "Resource temporarily unavailable"}),
    row_name<FailureRow>);

TEST(BrokenPipe, EndsTheProgramBySignalByDefault)
{
    if (windows_build || expect::wasi_build) {
        GTEST_SKIP() << "Wine and Node.js ignore SIGPIPE in the programs they run";
    }
    auto pipe = child::make_pipe();
    pipe.read.reset();
    const auto r = child::run({.out = pipe.write.get()});
    EXPECT_EQ(ended(r), "signal " + std::to_string(SIGPIPE));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.changed, "");
}

} // namespace
