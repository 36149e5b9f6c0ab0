#pragma once

#include <optional>
#include <string>
#include <vector>

// Runs the program under test as a child process and collects what it did.
//
// The program is HELLOWORLD_PROGRAM if set, else the one built with the suite;
// HELLOWORLD_LAUNCHER (for example "wine") is put in front of it.
namespace child {

// Stream settings besides a file descriptor of the caller's.
inline constexpr int closed = -1;   // the child starts with it closed
inline constexpr int capture = -2;  // a private file, read back into Result
inline constexpr int dev_null = -3; // /dev/null

struct Options {
    std::vector<std::string> args{};
    // Unset: the caller's environment. Set: exactly these entries, plus what
    // the launcher itself needs.
    std::optional<std::vector<std::string>> env{};
    int in = dev_null;
    int out = capture;
    int err = capture;
    int cwd = -1;                      // a directory descriptor to start in
    bool sigpipe_ignored = false;      // else the default action
    std::vector<std::string> tracer{}; // a command to run the whole line under
};

struct Result {
    bool timed_out = false;
    int status = 0; // as from waitpid
    std::string out;
    std::string err;
};

Result run(const Options& options);

// Runs another command the same way; options.args and options.tracer unused.
Result run_command(std::vector<std::string> args, const Options& options = {});

// The launcher's name, empty when the program runs directly.
std::string launcher();

// Reads what is left on a descriptor without waiting for more.
std::string drain(int fd);

// A descriptor that closes itself.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd();

    [[nodiscard]] int get() const { return fd_; }
    int release();
    void reset(int fd = -1);

  private:
    int fd_;
};

struct Pipe {
    Fd read;
    Fd write;
};
Pipe make_pipe();

// An unlinked temporary file, opened for reading and writing.
Fd temp_file();

// A pseudo-terminal: the master and the terminal side.
struct Terminal {
    Fd master;
    Fd terminal;
};
Terminal make_terminal();

} // namespace child
