// Any sequence of change operations, with any arguments, while the file
// system fails at one operation, stops at one as in a crash, or from one on
// cannot touch a file another program holds: the start after that finds
// every line the program held (or, when its first load could not read the
// store, the untouched store; or, when changes stayed in memory because the
// log took no append and the program's last fold failed too, the lines of
// when that began), and the start after that finds the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "store_fuzz.h"
#include "text/memory_filesystem.h"

using namespace lh;
using fuzz::linesOf;

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  int byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string text() {
    std::string t;
    for (int n = byte() % 8; n > 0; --n) t.push_back(static_cast<char>(byte()));
    return t;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// An operation that says it was refused changed no entry (a failed append
// may leave a torn record in the log, never a change in memory).
void refusedChangesNothing(const store::BookmarkStore& s, bool made, const std::vector<std::string>& before) {
  if (!made && linesOf(s) != before) std::abort();
}

void runOperations(store::BookmarkStore& s, Input& in) {
  const auto id = [&] { return static_cast<store::EntryId>(in.byte() % (s.count() + 3)) - 1; };
  for (int n = 0; n < 48 && !in.empty(); ++n) {
    const std::vector<std::string> before = linesOf(s);
    bool made = false;
    switch (in.byte() % 9) {
      case 0: {
        const std::string t = in.text(), u = in.text(), note = in.text();
        const store::EntryId parent = id();
        made = s.addBookmark(t, u, note, parent, in.byte(), in.byte() % 2 ? -1 : id()) != 0;
        break;
      }
      case 1: made = s.recordVisit(id(), in.byte() * 100.5, in.byte()); break;
      case 2: {
        const store::EntryId target = id();
        const std::string t = in.text(), note = in.text(), u = in.text();
        made = s.editBookmark(target, t, note, u);
        break;
      }
      case 3: {
        std::string items = in.byte() % 4 == 0 ? "u" : "";
        for (int k = in.byte() % 4; k >= 0; --k) items += std::to_string(id()) + "u";
        const store::EntryId dest = id();
        const int kind = in.byte() % 3;
        made = s.moveEntries(items, dest, kind == 0 ? -1 : kind == 1 ? -2 : id(), in.byte() % 2);
        break;
      }
      case 4: {
        const store::EntryId parent = id();
        made = s.addCategory(parent, in.byte(), in.text()) != 0;
        break;
      }
      case 5: {
        const store::EntryId target = id();
        const std::string name = in.text();
        made = s.editCategory(target, name, 1, in.byte() % 2, in.byte() % 2);
        break;
      }
      case 6: made = s.emptyRecycleBin(); break;
      case 7: {
        const store::EntryId category = id();
        made = s.addSeparator(category, id()) != 0;
        break;
      }
      case 8: {
        const store::EntryId category = id();
        made = s.purgeEntry(category, id());
        break;
      }
    }
    refusedChangesNothing(s, made, before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string kStore = fuzz::seedStore();
  Input in(data, size);
  text::MemoryFileSystem fs;
  fs.files["udb"] = kStore;
  const int mode = in.byte();
  const int position = in.byte();
  if (mode % 4 == 1) fs.failAt = position;
  // A crash interrupts one append before it is whole (the shortest record
  // has 20 bytes); whether a whole record written by a dying process counts
  // is the one thing left open, so it is not made here.
  if (mode % 4 == 2) fs.crashAfter = position;
  if (mode % 4 == 3) {
    static const char* const kFiles[] = {"bein", "udb", "udb.next", "bein.folded"};
    fs.holdFrom = position;
    fs.holdLater = {kFiles[(mode / 4) % 4]};
    fs.heldRemovalLies = mode / 16 % 2 == 1;
  }
  fs.tornAppendBytes = static_cast<std::size_t>(in.byte() % 20);

  std::vector<std::string> held;
  bool couldRead = false;
  {
    store::BookmarkStore live(fs, "udb", "bein");
    live.load();
    std::vector<std::string> saved;
    bool told = false;
    live.onCannotSave([&](const std::string&) {
      if (told) std::abort();  // once per spell
      told = true;
      saved = linesOf(live);
    });
    runOperations(live, in);
    // As the program does while changes wait in memory, and at its end.
    if (live.unsaved() && !live.saveAll() && live.unsaved()) {
      held = saved;
    } else {
      held = linesOf(live);
    }
    couldRead = !live.readOnly();
  }
  {
    store::BookmarkStore folding(fs, "udb", "bein");
    folding.load();
  }
  fs.failAt = 0;
  fs.crashAfter = -1;
  fs.holdFrom = 0;
  fs.held.clear();
  store::BookmarkStore next(fs, "udb", "bein");
  next.load();
  if (!couldRead) {
    text::MemoryFileSystem pristine;
    pristine.files["udb"] = kStore;
    store::BookmarkStore untouched(pristine, "udb", "bein");
    untouched.load();
    held = linesOf(untouched);
  }
  if (linesOf(next) != held) std::abort();
  store::BookmarkStore afterNext(fs, "udb", "bein");
  afterNext.load();
  if (linesOf(afterNext) != held) std::abort();
  return 0;
}
