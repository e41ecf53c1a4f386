#include "store/entry_text.h"

#include <ostream>

namespace lh::store {

std::ostream& operator<<(std::ostream& out, const EntryText& t) { return out << t.view(); }

}  // namespace lh::store
