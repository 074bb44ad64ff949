// Work a window left on the shared pool (a preview being drawn, a registry write) ends before
// the test program does: at exit Qt's own globals are destroyed before the pool, and a task
// still using them (an image being read) would crash the program after every test passed.

#include <gtest/gtest.h>

#include "platform/WorkerPool.h"

namespace {

class SharedPoolDrain : public ::testing::Environment {
  public:
    void TearDown() override { orvanta::WorkerPool::shared().waitIdle(); }
};

[[maybe_unused]] ::testing::Environment* const kDrain =
    ::testing::AddGlobalTestEnvironment(new SharedPoolDrain);

}  // namespace
