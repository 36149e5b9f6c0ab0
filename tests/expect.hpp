#pragma once

#include "child.hpp"

#include <gtest/gtest.h>

#include <string>

#include <sys/wait.h>

// What every case expects of a run, shared by the suite's files.
namespace expect {

inline const std::string greeting = "helloworld";

inline bool under_wine()
{
    return child::launcher().find("wine") != std::string::npos;
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
