// A simulated machine made current for one test, with the usual volume C:.
#pragma once

#include <gtest/gtest.h>

#include "DefragAPI.h"
#include "RecordingSink.h"
#include "SimPlatform.h"

class SimTest : public ::testing::Test {
 protected:
  sim::ScopedSimPlatform machine;

  sim::SimVolume& AddC(std::int64_t clusters = 20000) { return machine->AddVolume('C', clusters); }
  int Requests(std::uint32_t code) const {
    return const_cast<sim::ScopedSimPlatform&>(machine)->RequestCount(code);
  }
};
