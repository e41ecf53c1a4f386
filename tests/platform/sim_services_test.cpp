// File dialogs, the desktop folder and hung windows in the simulator, and
// the dialog filter's parsing.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/sim/sim_platform.h"
#include "platform_cases.h"

namespace lh::platform {
namespace {

using sim::SimPlatform;

TEST(FilterPairs, SplitsDescriptionsAndPatterns) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(filterPairs("html|*.html;*.htm"), (Pairs{{"html", "*.html;*.htm"}}));
  EXPECT_EQ(filterPairs("html|*.html|all|*.*|"), (Pairs{{"html", "*.html"}, {"all", "*.*"}}));
  EXPECT_EQ(filterPairs(""), Pairs{});
  EXPECT_EQ(filterPairs("lonely"), Pairs{});
  EXPECT_EQ(filterPairs("a||b|*.b"), Pairs{});  // a description without patterns ends the list
  // The GBK character 81 7C ends in a '|' byte, which does not cut.
  EXPECT_EQ(filterPairs("\x81|x|*.x"), (Pairs{{"\x81|x", "*.x"}}));
}

TEST(SimFileDialogs, AnswerInOrderThenCancelAndRecordEveryRequest) {
  SimPlatform sim;
  sim.fileDialogAnswers = {std::string("C:\\out\\a.html"), std::nullopt};
  FileDialogRequest save;
  save.kind = FileDialogRequest::Kind::Save;
  save.filter = "html|*.html;*.htm";
  save.initialFolder = sim.desktopFolder();
  save.proposedName = "ULinkhoard-2016年5月3日15时30分20秒.html";
  EXPECT_EQ(sim.chooseFile(save), std::optional<std::string>("C:\\out\\a.html"));
  EXPECT_EQ(sim.chooseFile(save), std::nullopt);
  EXPECT_EQ(sim.chooseFile(FileDialogRequest{}), std::nullopt);  // no answer left: cancelled
  ASSERT_EQ(sim.fileDialogs.size(), 3u);
  EXPECT_EQ(sim.fileDialogs[0].proposedName, save.proposedName);
  EXPECT_EQ(sim.fileDialogs[0].initialFolder, "C:\\Users\\user\\Desktop\\");
  EXPECT_EQ(sim.journal.back(), "open dialog");
}

TEST(SimForeignWindows, AHungWindowReadsAsEmptyAndCountsItsTimeout) {
  SimPlatform sim;
  const std::uint64_t top = sim.addForeignWindow({0, "IEFrame", "page - browser", "", "", {400, 0, 800, 600}});
  sim::FakeWindow edit{top, "Edit", "http://a.com/", "", "", {400, 100, 300, 20}};
  edit.hung = true;
  const std::uint64_t bar = sim.addForeignWindow(edit);
  EXPECT_EQ(sim.textOf(ForeignWindow{top}), "page - browser");
  EXPECT_EQ(sim.textOf(ForeignWindow{bar}), "");
  EXPECT_EQ(sim.foreignSendTimeouts, 1);
  EXPECT_EQ(sim.classNameOf(ForeignWindow{bar}), "Edit");  // no message is sent for a class name
}

// (The Windows tests run the same cases against the real edit box and the
// system's object names.)
TEST(SimEditBoxes, TheByteLimitKeepsWholeCharactersAsTheNativeBoxDoes) {
  for (const cases::EditCut& c : cases::kEditCuts) {
    EditOptions o;
    o.maxBytes = c.maxBytes;
    sim::SimEditBox typedInto(o), setInto(o);
    typedInto.type(c.typed);
    EXPECT_EQ(typedInto.text(), c.kept) << c.typed << " in " << c.maxBytes;
    // The native box cuts a text the program sets as well (a panel opened
    // on a title longer than its box).
    setInto.setText(c.typed);
    EXPECT_EQ(setInto.text(), c.kept) << c.typed << " set into " << c.maxBytes;
  }
}

TEST(SimSingleInstance, KeysAreComparedAsTheSystemComparesNames) {
  for (const cases::KeyPair& k : cases::kSameKeys) {
    SimPlatform sim;
    int shown = 0;
    ASSERT_TRUE(sim.claimSingleInstance(k.a, [&] { ++shown; }));
    EXPECT_FALSE(sim.claimSingleInstance(k.b, {})) << k.b;
    EXPECT_EQ(shown, 1);
    sim.releaseSingleInstance(k.a);
    EXPECT_TRUE(sim.claimSingleInstance(k.b, {}));
  }
  for (const cases::KeyPair& k : cases::kDifferentKeys) {
    SimPlatform sim;
    ASSERT_TRUE(sim.claimSingleInstance(k.a, {}));
    EXPECT_TRUE(sim.claimSingleInstance(k.b, {})) << k.b;
  }
}

}  // namespace
}  // namespace lh::platform
