// The HTTP rules every implementation shares: addresses, redirects and the
// limits, and the simulator's web that follows them.
#include "platform/http.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "platform/sim/sim_web.h"

namespace lh::platform {
namespace {

Url url(std::string_view s) {
  const std::optional<Url> u = parseUrl(s);
  EXPECT_TRUE(u.has_value()) << s;
  return u.value_or(Url{});
}

TEST(ParseUrl, SplitsSchemeHostPortAndTarget) {
  const Url a = url("HTTP://Example.COM:8080/a/b?c=d#frag");
  EXPECT_FALSE(a.secure);
  EXPECT_EQ(a.host, "example.com");
  EXPECT_EQ(a.port, 8080);
  EXPECT_EQ(a.target, "/a/b?c=d");
  EXPECT_EQ(a.text(), "http://example.com:8080/a/b?c=d");

  const Url b = url("https://x.org");
  EXPECT_TRUE(b.secure);
  EXPECT_EQ(b.port, 443);
  EXPECT_EQ(b.target, "/");
  EXPECT_EQ(b.text(), "https://x.org/");

  EXPECT_EQ(url("http://x.org?q=1").target, "/?q=1");
  EXPECT_EQ(url("http://[::1]:81/").host, "[::1]");
  EXPECT_EQ(url("http://[::1]:81/").port, 81);
  EXPECT_EQ(url("http://127.0.0.5:65535/").port, 65535);
}

TEST(ParseUrl, RefusesWhatNoRequestCanBeMadeTo) {
  for (const char* bad : {"", "ftp://x.org/", "x.org/", "http://", "http:///a", "http://user@x.org/",
                          "http://x.org:/", "http://x.org:0/", "http://x.org:65536/", "http://x.org:8a/",
                          "http://x.org:123456/", "http://ex ample.org/", "http://[::1/", "http://[zz]/",
                          "http://\xB0\xD9\xB6\xC8.com/"}) {
    EXPECT_FALSE(parseUrl(bad).has_value()) << bad;
  }
}

TEST(ParseUrl, PercentEncodesBytesARequestLineCannotCarry) {
  // A GBK path (百度) and a space: every byte outside printable ASCII.
  EXPECT_EQ(url("http://x.org/\xB0\xD9\xB6\xC8 1.html").target, "/%B0%D9%B6%C8%201.html");
  EXPECT_EQ(url("http://x.org/a\"b<c>").target, "/a%22b%3Cc%3E");
  EXPECT_EQ(url("http://x.org/%41").target, "/%41");  // already encoded stays as it is
}

TEST(ResolveLocation, ReadsEveryFormAgainstTheAnsweringAddress) {
  const Url base = url("http://a.com:8080/dir/page.html?x=1");
  auto at = [&](std::string_view loc) {
    const std::optional<Url> u = resolveLocation(base, loc);
    return u ? u->text() : std::string("none");
  };
  EXPECT_EQ(at("https://b.org/z"), "https://b.org/z");
  EXPECT_EQ(at("//c.net/y"), "http://c.net/y");
  EXPECT_EQ(at("/root?q"), "http://a.com:8080/root?q");
  EXPECT_EQ(at("?only=query"), "http://a.com:8080/dir/page.html?only=query");
  EXPECT_EQ(at("other.html"), "http://a.com:8080/dir/other.html");
  EXPECT_EQ(at("../up/./x"), "http://a.com:8080/up/x");
  EXPECT_EQ(at("../../../../x"), "http://a.com:8080/x");
  EXPECT_EQ(at("sub/"), "http://a.com:8080/dir/sub/");
  EXPECT_EQ(at(".."), "http://a.com:8080/");
  EXPECT_EQ(at("  /spaced \r\n"), "http://a.com:8080/spaced");
  EXPECT_EQ(at("/x#frag"), "http://a.com:8080/x");
  EXPECT_EQ(at(""), "none");
  EXPECT_EQ(at("ftp://a.com/"), "none");
  EXPECT_EQ(at("javascript:alert(1)"), "none");
}

// A scripted web for followRedirects: every hop costs 10 ms of its clock.
struct ScriptedWeb {
  std::map<std::string, HttpHop> answers;
  std::vector<std::string> asked;
  std::int64_t clock = 0;
  HttpResponse fetch(std::string_view address, const HttpLimits& limits, const CancelFlag* cancel = nullptr) {
    return followRedirects(
        address, limits, cancel,
        [this](const HopRequest& r) {
          asked.push_back(r.url.text());
          clock += 10;
          const auto it = answers.find(r.url.text());
          if (it == answers.end()) return HttpHop{HttpError::Network, 0, {}, {}};
          return it->second;
        },
        [this] { return clock; });
  }
  void page(const std::string& at, std::string body, int status = 200) {
    answers[at] = HttpHop{HttpError::None, status, {}, std::move(body)};
  }
  void redirect(const std::string& from, const std::string& to, int status = 302) {
    answers[from] = HttpHop{HttpError::None, status, to, {}};
  }
  // http://a.com/0 redirects to /1 … up to /10, a page "end".
  void chainOfTen() {
    for (int i = 0; i < 10; ++i) {
      std::string next = "/";
      next += std::to_string(i + 1);
      redirect("http://a.com/" + std::to_string(i), next);
    }
    page("http://a.com/10", "end");
  }
};

TEST(FollowRedirects, FollowsUpToTheLimitAndNoFurther) {
  ScriptedWeb web;
  web.chainOfTen();
  HttpLimits limits;
  limits.maxRedirects = 3;

  const HttpResponse stopped = web.fetch("http://a.com/0", limits);
  EXPECT_EQ(stopped.error, HttpError::TooManyRedirects);
  EXPECT_TRUE(stopped.body.empty());
  EXPECT_EQ(web.asked.size(), 4u);  // the request and three redirects

  web.asked.clear();
  const HttpResponse reached = web.fetch("http://a.com/7", limits);
  ASSERT_TRUE(reached.ok()) << nameOf(reached.error);
  EXPECT_EQ(reached.body, "end");
  EXPECT_EQ(reached.redirects, 3);
  EXPECT_EQ(reached.finalUrl, "http://a.com/10");
  EXPECT_EQ(reached.status, 200);
}

TEST(FollowRedirects, ALoopEndsAtTheLimit) {
  ScriptedWeb web;
  web.redirect("http://a.com/", "http://b.com/", 301);
  web.redirect("http://b.com/", "http://a.com/", 307);
  EXPECT_EQ(web.fetch("http://a.com/", HttpLimits{}).error, HttpError::TooManyRedirects);
  EXPECT_EQ(web.asked.size(), 6u);
}

TEST(FollowRedirects, AnyOtherAnswerIsTheResultWithItsBody) {
  ScriptedWeb web;
  web.page("http://a.com/302", "moved, nowhere", 302);  // a redirect without Location
  web.page("http://a.com/404", "not here", 404);
  for (const auto& [path, status, body] : {std::tuple{"302", 302, "moved, nowhere"}, {"404", 404, "not here"}}) {
    const HttpResponse r = web.fetch(std::string("http://a.com/") + path, HttpLimits{});
    ASSERT_TRUE(r.ok()) << path;
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.body, body);
  }
}

TEST(FollowRedirects, ARedirectToAnotherSchemeIsABadAddress) {
  ScriptedWeb web;
  web.redirect("http://a.com/", "ftp://a.com/file");
  EXPECT_EQ(web.fetch("http://a.com/", HttpLimits{}).error, HttpError::BadAddress);
  EXPECT_EQ(web.fetch("mailto:x@y", HttpLimits{}).error, HttpError::BadAddress);
}

TEST(FollowRedirects, TheTimeLimitCoversTheWholeChain) {
  ScriptedWeb web;
  web.chainOfTen();
  HttpLimits limits;
  limits.maxRedirects = 20;
  limits.timeMs = 35;  // three hops of 10 ms, and a fourth that starts at 30
  const HttpResponse r = web.fetch("http://a.com/0", limits);
  EXPECT_EQ(r.error, HttpError::TimedOut);
  EXPECT_EQ(web.asked.size(), 4u);
}

TEST(FollowRedirects, ABodyBeyondTheLimitIsRefused) {
  ScriptedWeb web;
  web.page("http://a.com/", std::string(101, 'x'));
  web.page("http://b.com/", std::string(100, 'x'));
  HttpLimits limits;
  limits.maxBytes = 100;
  EXPECT_EQ(web.fetch("http://a.com/", limits).error, HttpError::TooLarge);
  EXPECT_EQ(web.fetch("http://b.com/", limits).body.size(), 100u);
}

TEST(FollowRedirects, ARaisedFlagStopsBeforeTheNextHop) {
  ScriptedWeb web;
  CancelFlag cancel;
  web.redirect("http://a.com/", "/next");
  web.page("http://a.com/next", "x");
  cancel.raise();
  EXPECT_EQ(web.fetch("http://a.com/", HttpLimits{}, &cancel).error, HttpError::Cancelled);
  EXPECT_TRUE(web.asked.empty());
}

TEST(BodyCollector, KeepsUpToTheLimitAndSaysWhenItIsPassed) {
  BodyCollector body(5);
  EXPECT_TRUE(body.append("abc", 3));
  EXPECT_TRUE(body.append("de", 2));
  EXPECT_FALSE(body.tooLarge());
  EXPECT_FALSE(body.append("f", 1));
  EXPECT_TRUE(body.tooLarge());
  EXPECT_FALSE(body.append("", 0));  // stays refused
  EXPECT_EQ(body.take(), "abcde");
}

TEST(SimWeb, AnswersWithTheSameRulesAsTheRealOne) {
  sim::SimWeb web;
  web.serve("http://a.com/", "<html>");
  web.redirect("http://short.com/", "http://a.com/");
  web.redirect("http://loop.com/", "http://loop.com/");
  sim::FakePage slow;
  slow.body = "late";
  slow.delayMs = 5000;
  web.pages["http://slow.com/"] = slow;
  sim::FakePage endless;
  endless.endless = true;
  web.pages["http://big.com/"] = endless;
  sim::FakePage icon;
  icon.body = "ICO";
  web.pages["http://a.com/favicon.ico"] = icon;

  HttpLimits limits;
  limits.timeMs = 3000;
  EXPECT_EQ(web.get("http://short.com", limits).body, "<html>");
  EXPECT_EQ(web.get("http://loop.com/", limits).error, HttpError::TooManyRedirects);
  EXPECT_EQ(web.get("http://slow.com/", limits).error, HttpError::TimedOut);
  EXPECT_EQ(web.get("http://big.com/", limits).error, HttpError::TooLarge);
  EXPECT_EQ(web.get("http://nobody.com/", limits).error, HttpError::Network);
  EXPECT_EQ(web.get("http://a.com/favicon.ico", limits).body, "ICO");
  limits.timeMs = 6000;
  EXPECT_EQ(web.get("http://slow.com/", limits).body, "late");
  EXPECT_EQ(web.requests.front(), "GET http://short.com/");
  EXPECT_EQ(web.requests[1], "GET http://a.com/");
}

}  // namespace
}  // namespace lh::platform
