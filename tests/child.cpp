#include "child.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration)

namespace child {
namespace {

// Bounds a run that should take milliseconds, so a program that waits for
// input fails instead of hanging the suite. Generous for Wine's start-up.
constexpr auto time_limit = std::chrono::seconds(30);

[[noreturn]] void fail(int error, const char* what)
{
    throw std::system_error(error, std::generic_category(), what);
}

int check(int result, const char* what)
{
    if (result < 0) {
        fail(errno, what);
    }
    return result;
}

// For the posix_spawn family, which returns the error instead of setting errno.
void check_spawn(int error, const char* what)
{
    if (error != 0) {
        fail(error, what);
    }
}

std::vector<std::string> split(const std::string& words)
{
    std::istringstream in(words);
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

std::string program()
{
    const char* chosen = std::getenv("HELLOWORLD_PROGRAM");
    return chosen != nullptr && *chosen != '\0' ? chosen : HELLOWORLD_BUILT_PROGRAM;
}

std::vector<std::string> command_line(const Options& options)
{
    std::vector<std::string> line = options.tracer;
    for (auto& word : split(launcher())) {
        line.push_back(word);
    }
    line.push_back(program());
    line.insert(line.end(), options.args.begin(), options.args.end());
    return line;
}

bool launcher_needs(const std::string& entry)
{
    return entry.rfind("WINE", 0) == 0 || entry.rfind("HOME=", 0) == 0 ||
           entry.rfind("PATH=", 0) == 0;
}

std::vector<std::string> environment(const Options& options)
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!options.env || (!launcher().empty() && launcher_needs(*entry))) {
            result.emplace_back(*entry);
        }
    }
    if (options.env) {
        result.insert(result.end(), options.env->begin(), options.env->end());
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    result.reserve(strings.size() + 1);
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

struct FileActions {
    posix_spawn_file_actions_t actions{};
    FileActions() { check_spawn(posix_spawn_file_actions_init(&actions), "file actions"); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct Attributes {
    posix_spawnattr_t attributes{};
    Attributes() { check_spawn(posix_spawnattr_init(&attributes), "spawn attributes"); }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
    ~Attributes() { posix_spawnattr_destroy(&attributes); }
};

void redirect(FileActions& file, int setting, int target, Fd& captured)
{
    auto* actions = &file.actions;
    switch (setting) {
    case closed:
        check_spawn(posix_spawn_file_actions_addclose(actions, target), "close");
        break;
    case dev_null:
        check_spawn(posix_spawn_file_actions_addopen(actions, target, "/dev/null", O_RDWR, 0),
                    "open /dev/null");
        break;
    case capture:
        captured = temp_file();
        setting = captured.get();
        [[fallthrough]];
    default:
        check_spawn(posix_spawn_file_actions_adddup2(actions, setting, target), "dup2");
    }
}

std::string read_all(const Fd& file)
{
    std::string result;
    if (file.get() < 0) {
        return result;
    }
    char buffer[4096];
    for (off_t at = 0;;) {
        const auto got =
            check(static_cast<int>(pread(file.get(), buffer, sizeof buffer, at)), "read back");
        if (got == 0) {
            return result;
        }
        result.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
}

int wait_bounded(pid_t pid, bool& timed_out)
{
    const auto deadline = std::chrono::steady_clock::now() + time_limit;
    int status = 0;
    while (check(waitpid(pid, &status, WNOHANG), "waitpid") == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            check(waitpid(pid, &status, 0), "waitpid");
            timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status;
}

} // namespace

std::string launcher()
{
    const char* chosen = std::getenv("HELLOWORLD_LAUNCHER");
    return chosen != nullptr ? chosen : "";
}

Result run(const Options& options)
{
    return run_command(command_line(options), options);
}

Result run_command(std::vector<std::string> args, const Options& options)
{
    // The child inherits an ignored SIGPIPE; and a dead pipe must not kill
    // the suite itself.
    (void)std::signal(SIGPIPE, SIG_IGN);

    FileActions file;
    Fd in;
    Fd out;
    Fd err;
    redirect(file, options.in, STDIN_FILENO, in);
    redirect(file, options.out, STDOUT_FILENO, out);
    redirect(file, options.err, STDERR_FILENO, err);
    if (options.cwd >= 0) {
        check_spawn(posix_spawn_file_actions_addfchdir_np(&file.actions, options.cwd), "chdir");
    }

    Attributes spawn;
    sigset_t signals;
    sigemptyset(&signals);
    check_spawn(posix_spawnattr_setsigmask(&spawn.attributes, &signals), "signal mask");
    if (!options.sigpipe_ignored) {
        sigaddset(&signals, SIGPIPE);
    }
    check_spawn(posix_spawnattr_setsigdefault(&spawn.attributes, &signals), "signal defaults");
    check_spawn(
        posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
        "spawn flags");

    auto env = environment(options);
    pid_t pid = 0;
    check_spawn(posix_spawnp(&pid, args.front().c_str(), &file.actions, &spawn.attributes,
                             pointers(args).data(), pointers(env).data()),
                args.front().c_str());

    Result result;
    result.status = wait_bounded(pid, result.timed_out);
    result.out = read_all(out);
    result.err = read_all(err);
    return result;
}

std::string drain(int fd)
{
    check(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK), "non-blocking");
    std::string result;
    char buffer[4096];
    for (;;) {
        const auto got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            // EIO: a terminal whose other side is closed.
            if (got < 0 && errno != EAGAIN && errno != EIO) {
                fail(errno, "drain");
            }
            return result;
        }
        result.append(buffer, static_cast<std::size_t>(got));
    }
}

Fd& Fd::operator=(Fd&& other) noexcept
{
    reset(other.release());
    return *this;
}

Fd::~Fd()
{
    reset();
}

int Fd::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset(int fd)
{
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = fd;
}

Pipe make_pipe()
{
    int ends[2];
    check(pipe2(ends, O_CLOEXEC), "pipe");
    return {Fd(ends[0]), Fd(ends[1])};
}

Fd temp_file()
{
    const char* dir = std::getenv("TMPDIR");
    std::string path =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/helloworld-test-XXXXXX";
    Fd file(check(mkostemp(path.data(), O_CLOEXEC), "temporary file"));
    check(unlink(path.c_str()), "unlink temporary file");
    return file;
}

Terminal make_terminal()
{
    Fd master(check(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC), "posix_openpt"));
    check(grantpt(master.get()), "grantpt");
    check(unlockpt(master.get()), "unlockpt");
    char name[128];
    check_spawn(ptsname_r(master.get(), name, sizeof name), "ptsname");
    Fd terminal(check(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC), name));
    return {std::move(master), std::move(terminal)};
}

} // namespace child
