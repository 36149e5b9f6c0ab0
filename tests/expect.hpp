#pragma once

#include "child.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <sys/wait.h>

// What every case expects of a run, shared by the suite's files.
namespace expect {

inline const std::string greeting = "helloworld";

// HELLOWORLD_PLATFORM: the build under test, if not a native one.
inline const std::string platform = [] {
    const char* name = std::getenv("HELLOWORLD_PLATFORM");
    return std::string(name != nullptr ? name : "");
}();

// A Windows build runs under Wine: what differs there is Wine's, or msvcrt's.
inline const bool windows_build = platform.starts_with("windows-");

// The WASI module runs under Node.js's WASI: what differs there is Node's.
inline const bool wasi_build = platform == "wasi";

inline std::string ended(const child::Result& r)
{
    if (r.timed_out) {
        return "still running";
    }
    if (WIFSIGNALED(r.status)) {
        return "signal " + std::to_string(WTERMSIG(r.status));
    }
    return "exit " + std::to_string(WEXITSTATUS(r.status));
}

// A run that did its one job: exit 0, the greeting alone on standard output
// (the captured file's, or what the case read from the stream it handed
// over), nothing on standard error, and the caller's streams as they were.
inline void greeting_only(const child::Result& r,
                          const std::optional<std::string>& received = std::nullopt)
{
    EXPECT_EQ(ended(r), "exit 0");
    ASSERT_TRUE(received || r.out) << "standard output was neither captured nor read";
    EXPECT_EQ(received ? received : r.out, greeting);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.changed, "");
}

} // namespace expect
