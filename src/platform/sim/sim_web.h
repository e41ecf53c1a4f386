// The simulator's web: addresses answer with what the test wrote down, with
// the same redirect and limit rules as the real HTTP (followRedirects).
// Time is the request's own: every answer costs its page's delay, and a
// request whose delays add up to the time limit times out; the virtual clock
// of the GUI thread does not move (requests run on the worker).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/http.h"

namespace lh::platform::sim {

struct FakePage {
  int status = 200;
  std::string body;
  std::string location;  // sent with a redirect status
  int delayMs = 0;       // before the answer
  bool endless = false;  // a body that never ends (beyond any size limit)
};

class SimWeb : public Http {
 public:
  // Addresses exactly as Url::text() writes them ("http://a.com/", not "http://a.com").
  std::map<std::string, FakePage> pages;
  // Every request, in order: "GET http://a.com/", "GET http://a.com/favicon.ico".
  std::vector<std::string> requests;
  // No request can be made (every bounded call's place is taken): each is
  // refused as busy, and none is sent.
  bool noThreadFree = false;

  // A convenience for the common case.
  void serve(const std::string& address, std::string body, int status = 200);
  // A redirect from one address to another.
  void redirect(const std::string& from, const std::string& to, int status = 302);

  HttpResponse get(const std::string& address, const HttpLimits& limits, const CancelFlag* cancel = nullptr) override;
};

}  // namespace lh::platform::sim
