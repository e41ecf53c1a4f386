// How long one read of another program (the browser beside the window, the
// title of the window a copy came from) may take, however that program
// answers: slowly, never, or with an endless accessible tree.
#pragma once

namespace lh::capture {

inline constexpr int kReadBoundMs = 1500;

}  // namespace lh::capture
