// The program in the simulator: a data folder in memory, a store of the ten
// fixed entries and a few bookmarks, and the application started on them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/application.h"
#include "platform/sim/sim_platform.h"
#include "store/codec.h"
#include "text/memory_filesystem.h"
#include "../support/stores.h"

namespace lh::app::simtest {

using test::fixedStore;


using platform::sim::ProcessExit;
using platform::sim::SimPlatform;
using platform::sim::SimWindow;

inline const std::string kRun = "C:\\Linkhoard";
inline const std::string kData = kRun + "\\data";


class StartUp : public ::testing::Test {
 protected:
  SimPlatform sim;
  text::MemoryFileSystem fs;
  std::unique_ptr<Application> app;

  void SetUp() override {
    sim.runDir = kRun;
    fs.directories.insert(kData);
    fs.files[kData + "\\udb"] = fixedStore(3);
    // A browser already chosen: no registry, no balloon.
    fs.files[kData + "\\config.ini"] = "[浏览器]\r\n地址=C:\\B\\b.exe\r\n名称=b\r\n";
  }

  void start() {
    app = std::make_unique<Application>(sim, fs);
    app->startUp();
  }
  SimWindow& host(ui::Window& w) { return static_cast<SimWindow&>(w.host()); }
  std::size_t indexOf(const std::string& line) {
    const auto it = std::find(sim.journal.begin(), sim.journal.end(), line);
    EXPECT_NE(it, sim.journal.end()) << line;
    return static_cast<std::size_t>(it - sim.journal.begin());
  }
};

}  // namespace lh::app::simtest
