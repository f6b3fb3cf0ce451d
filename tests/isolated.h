// Runs a test body in a child process, so the program-wide state it creates (the cached host build
// and module base, the events, the patched image) stays there and every such body starts fresh.
// Failures inside the child are printed by the child and reported through its exit status.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

inline void RunIsolated(const std::function<void()>& body) {
  EXPECT_EXIT(
      {
        body();
        std::fflush(stdout);
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

#define EXPECT_ISOLATED(...) RunIsolated([&] { __VA_ARGS__; })
