#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Runs the program under test as a child process and collects what it did:
// HELLOWORLD_PROGRAM if set, else the build's own, started through
// HELLOWORLD_LAUNCHER (for example wine) if that is set; "@FILE" there names
// a file that holds the command, a word a line, as a cross build writes it.
namespace child {

// Stream settings besides a descriptor of the caller's.
inline constexpr int closed = -1;   // the child starts with it closed
inline constexpr int capture = -2;  // a private file, read back into Result
inline constexpr int dev_null = -3; // /dev/null

struct Options {
    std::vector<std::string> args{};
    // Unset: the caller's environment. Set: these entries and the launcher's own.
    std::optional<std::vector<std::string>> env{};
    int in = dev_null;
    int out = capture;
    int err = capture;
    int cwd = -1;                       // a directory descriptor to start in
    bool signals_ignored = false;       // SIGPIPE and SIGXFSZ, which otherwise keep the default
    std::vector<std::string> wrapper{}; // a command it runs under: strace, prlimit, env
};

struct Result {
    bool timed_out = false;
    int status = 0; // as from waitpid
    // Only what was captured: a stream the case handed over is the case's to read.
    std::optional<std::string> out;
    std::optional<std::string> err;
    // What the program left changed in the descriptors the caller handed it
    // and shares with it: status flags, mode, locks, terminal settings.
    std::string changed;
};

Result run(const Options& options);
// Runs another command the same way; options.args and options.wrapper unused.
Result run_command(std::vector<std::string> args, const Options& options = {});

std::string program();
std::vector<std::string> launcher();

// Reads what is there from the descriptor's offset on, without waiting.
std::string drain(int fd);
// Reads a whole file, leaving its offset alone.
std::string contents(int fd);

// A path under $TMPDIR or /tmp for mkstemp and mkdtemp.
std::string temp_template(const std::string& name);

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    [[nodiscard]] int get() const { return fd_; }
    void reset(int fd = -1);

  private:
    int fd_;
};

struct Pipe {
    Fd read;
    Fd write;
};
Pipe make_pipe();

// A pseudo-terminal: the master side and the terminal the child gets.
struct Terminal {
    Fd master;
    Fd terminal;
};
Terminal make_terminal();

// An unlinked temporary file, open for reading and writing.
Fd temp_file();

} // namespace child
