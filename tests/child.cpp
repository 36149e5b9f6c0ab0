#include "child.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <ios>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// POSIX's own headers, for what the C++ ones need not declare.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration)

namespace child {
namespace {

// Bounds a run that should take milliseconds, so a program that waits for
// input fails instead of hanging the suite. Generous for Wine's start-up.
constexpr auto time_limit = std::chrono::seconds(30);

int check(int result, const char* what)
{
    if (result < 0) {
        throw std::system_error(errno, std::generic_category(), what);
    }
    return result;
}

// The posix_spawn family returns the error instead of setting errno.
void check_spawn(int error, const char* what)
{
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), what);
    }
}

std::string getenv_or(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

std::vector<std::string> environment(const Options& options)
{
    std::vector<std::string> result;
    const bool launched = !launcher().empty();
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string e = *entry;
        // A library preloaded into the suite (faketime, under reprotest) is
        // not the program's: its own files would be in the trace, and take
        // a standard descriptor the case left closed.
        if (e.starts_with("LD_PRELOAD=")) {
            continue;
        }
        // Wine finds its server through TMPDIR too.
        const bool for_launcher = launched && (e.starts_with("WINE") || e.starts_with("HOME=") ||
                                               e.starts_with("PATH=") || e.starts_with("TMPDIR="));
        if (!options.env || for_launcher) {
            result.push_back(e);
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

void redirect(posix_spawn_file_actions_t* actions, int setting, int target, Fd& captured)
{
    if (setting == closed) {
        check_spawn(posix_spawn_file_actions_addclose(actions, target), "close");
    } else if (setting == dev_null) {
        check_spawn(posix_spawn_file_actions_addopen(actions, target, "/dev/null", O_RDWR, 0),
                    "/dev/null");
    } else {
        if (setting == capture) {
            captured = temp_file();
            setting = captured.get();
        }
        check_spawn(posix_spawn_file_actions_adddup2(actions, setting, target), "dup2");
    }
}

std::optional<std::string> read_back(const Fd& file)
{
    return file.get() < 0 ? std::nullopt : std::optional(contents(file.get()));
}

// What a descriptor the caller hands over shares with the program.
std::string shared_state(int fd)
{
    struct stat st = {};
    check(fstat(fd, &st), "fstat");
    std::ostringstream state;
    state << std::hex << "status flags 0x" << check(fcntl(fd, F_GETFL), "F_GETFL") << ", mode 0"
          << std::oct << st.st_mode;
    // flock and OFD locks belong to the open file description, and so
    // outlive the program that took them.
    std::ostringstream id;
    id << std::hex << std::setfill('0') << ' ' << std::setw(2) << major(st.st_dev) << ':'
       << std::setw(2) << minor(st.st_dev) << ':' << std::dec << st.st_ino << ' ';
    std::ifstream locks("/proc/locks");
    int held = 0;
    for (std::string line; std::getline(locks, line);) {
        held += line.find(id.str()) != std::string::npos ? 1 : 0;
    }
    state << ", locks " << held;
    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
        state << std::hex << ", terminal " << settings.c_iflag << ' ' << settings.c_oflag << ' '
              << settings.c_cflag << ' ' << settings.c_lflag;
        for (const auto c : settings.c_cc) {
            state << ' ' << +c;
        }
    }
    return state.str();
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

std::string program()
{
    return getenv_or("HELLOWORLD_PROGRAM", HELLOWORLD_BUILT_PROGRAM);
}

std::vector<std::string> launcher()
{
    const std::string value = getenv_or("HELLOWORLD_LAUNCHER", "");
    if (!value.starts_with('@')) {
        return value.empty() ? std::vector<std::string>{} : std::vector{value};
    }
    std::ifstream file(value.substr(1));
    if (!file) {
        throw std::system_error(errno, std::generic_category(), value);
    }
    std::vector<std::string> words;
    for (std::string word; std::getline(file, word);) {
        words.push_back(word);
    }
    return words;
}

Result run(const Options& options)
{
    std::vector<std::string> line = options.wrapper;
    std::ranges::copy(launcher(), std::back_inserter(line));
    line.push_back(program());
    line.insert(line.end(), options.args.begin(), options.args.end());
    return run_command(line, options);
}

Result run_command(std::vector<std::string> args, const Options& options)
{
    // The child inherits these ignored unless a case wants them; and neither
    // a dead pipe nor a file-size limit must end the suite itself.
    (void)signal(SIGPIPE, SIG_IGN);
    (void)signal(SIGXFSZ, SIG_IGN);

    posix_spawn_file_actions_t actions;
    check_spawn(posix_spawn_file_actions_init(&actions), "file actions");
    const std::unique_ptr<posix_spawn_file_actions_t, int (*)(posix_spawn_file_actions_t*)>
        actions_guard(&actions, posix_spawn_file_actions_destroy);
    Fd in;
    Fd out;
    Fd err;
    redirect(&actions, options.in, STDIN_FILENO, in);
    redirect(&actions, options.out, STDOUT_FILENO, out);
    redirect(&actions, options.err, STDERR_FILENO, err);
    if (options.cwd >= 0) {
        check_spawn(posix_spawn_file_actions_addfchdir_np(&actions, options.cwd), "chdir");
    }

    posix_spawnattr_t attributes;
    check_spawn(posix_spawnattr_init(&attributes), "spawn attributes");
    const std::unique_ptr<posix_spawnattr_t, int (*)(posix_spawnattr_t*)> attributes_guard(
        &attributes, posix_spawnattr_destroy);
    sigset_t signals; // NOLINT(misc-include-cleaner): <signal.h> declares it
    sigemptyset(&signals);
    check_spawn(posix_spawnattr_setsigmask(&attributes, &signals), "signal mask");
    if (!options.signals_ignored) {
        sigaddset(&signals, SIGPIPE);
        sigaddset(&signals, SIGXFSZ);
    }
    check_spawn(posix_spawnattr_setsigdefault(&attributes, &signals), "signal defaults");
    check_spawn(
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
        "spawn flags");

    const auto shared = [&options] {
        const std::pair<const char*, int> given[] = {{"standard input", options.in},
                                                     {"standard output", options.out},
                                                     {"standard error", options.err}};
        std::string all;
        for (const auto& [stream, fd] : given) {
            all += fd >= 0 ? std::string(stream) + ": " + shared_state(fd) + "\n" : "";
        }
        return all;
    };
    const auto before = shared();

    auto env = environment(options);
    pid_t pid = 0;
    check_spawn(posix_spawnp(&pid, args.front().c_str(), &actions, &attributes,
                             pointers(args).data(), pointers(env).data()),
                args.front().c_str());

    Result result;
    result.status = wait_bounded(pid, result.timed_out);
    result.out = read_back(out);
    result.err = read_back(err);
    if (const auto after = shared(); after != before) {
        result.changed = before + "became\n" + after;
    }
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
                check(-1, "drain");
            }
            return result;
        }
        result.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string contents(int fd)
{
    // Through a description of its own: from the start, and the caller's offset stays.
    const Fd file(check(open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC),
                        "reopen"));
    return drain(file.get());
}

std::string temp_template(const std::string& name)
{
    return getenv_or("TMPDIR", "/tmp") + "/helloworld-" + name + "-XXXXXX";
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

Fd temp_file()
{
    std::string path = temp_template("test");
    Fd file(check(mkostemp(path.data(), O_CLOEXEC), "temporary file"));
    check(unlink(path.c_str()), "unlink");
    return file;
}

} // namespace child
