#pragma once

#include "child.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include <sys/wait.h>

// What every case expects of a run, shared by the suite's files.
namespace expect {

inline const std::string greeting = "helloworld";

// HELLOWORLD_PLATFORM: the build under test, if not a native one.
inline std::string platform()
{
    const char* name = std::getenv("HELLOWORLD_PLATFORM");
    return name != nullptr ? name : "";
}

// The program under test is a Windows build, and so runs under Wine: what
// differs there is Wine's, or msvcrt's.
inline bool windows_build()
{
    return platform().starts_with("windows-");
}

// The program under test is the WASI module, run by Node.js's WASI: what
// differs there is Node's.
inline bool wasi_build()
{
    return platform() == "wasi";
}

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

// Every run captures standard output in a regular file unless a case says
// otherwise, so each of these checks the exact bytes of a redirected run.
inline void greeting_only(const child::Result& r, const std::string& out = greeting)
{
    EXPECT_EQ(ended(r), "exit 0");
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, "");
}

} // namespace expect
