#include "platform/sim/sim_web.h"

namespace lh::platform::sim {

void SimWeb::serve(const std::string& address, std::string body, int status) {
  FakePage p;
  p.status = status;
  p.body = std::move(body);
  pages[address] = std::move(p);
}

void SimWeb::redirect(const std::string& from, const std::string& to, int status) {
  FakePage p;
  p.status = status;
  p.location = to;
  pages[from] = std::move(p);
}

HttpResponse SimWeb::get(const std::string& address, const HttpLimits& limits, const CancelFlag* cancel) {
  if (noThreadFree) {
    HttpResponse refused;
    refused.error = HttpError::Busy;
    return refused;
  }
  std::int64_t elapsed = 0;
  auto hop = [&](const HopRequest& r) {
    const std::string where = r.url.text();
    requests.push_back("GET " + where);
    HttpHop h;
    const FakePage* page = nullptr;
    const auto it = pages.find(where);
    if (it != pages.end()) page = &it->second;
    if (!page) {
      h.error = HttpError::Network;  // nobody answers there
      return h;
    }
    elapsed += page->delayMs;
    if (elapsed >= r.deadlineMs) {
      h.error = HttpError::TimedOut;
      return h;
    }
    h.status = page->status;
    h.location = page->location;
    if (page->endless || page->body.size() > r.maxBytes) {
      h.error = HttpError::TooLarge;
      return h;
    }
    h.body = page->body;
    return h;
  };
  return followRedirects(address, limits, cancel, hop, [&] { return elapsed; });
}

}  // namespace lh::platform::sim
