// The real HTTP GET and POST (WinINet) against a loopback
// server this test starts itself: results within the program's own time,
// size and redirect limits. Elapsed times are asserted only as a generous
// bound proving that a call returned.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/bounded_call.h"
#include "platform/win32/services_win32.h"
#include "win/loopback_server.h"

namespace lh::platform {
namespace {

using test::LoopbackServer;

class RealHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    liveBefore_ = liveBoundedCalls();
    ASSERT_TRUE(server->listening());
  }
  void TearDown() override {
    server.reset();  // abandoned requests see their connections close and end
    for (int i = 0; i < 3000 && liveBoundedCalls() > liveBefore_; ++i) Sleep(10);
    EXPECT_EQ(liveBoundedCalls(), liveBefore_) << "a request thread did not end";
  }
  std::string at(const std::string& path) const { return server->base() + path; }
  static HttpLimits limits(int timeMs = 20000, std::size_t maxBytes = 1 << 20, int maxRedirects = 5) {
    HttpLimits l;
    l.timeMs = timeMs;
    l.maxBytes = maxBytes;
    l.maxRedirects = maxRedirects;
    return l;
  }
  // Runs `call` and says how long it took, in ms.
  template <class F>
  static HttpResponse timed(F call, ULONGLONG& ms) {
    const ULONGLONG start = GetTickCount64();
    HttpResponse r = call();
    ms = GetTickCount64() - start;
    return r;
  }

  std::unique_ptr<Http> http = win32::makeHttp();
  std::unique_ptr<LoopbackServer> server = std::make_unique<LoopbackServer>("127.0.0.31");

 private:
  int liveBefore_ = 0;
};

TEST_F(RealHttp, GetReadsAPageAsHttp10WithAcceptAll) {
  const HttpResponse r = http->get(at("/page"), limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "<html><head><title>page</title></head></html>");
  const auto seen = server->requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].rfind("GET /page HTTP/1.0\r\n", 0), 0u) << seen[0];
  EXPECT_NE(seen[0].find("Accept: */*"), std::string::npos) << seen[0];
}

TEST_F(RealHttp, GetGivesTheBodyWhateverTheStatus) {
  const HttpResponse r = http->get(at("/status404"), limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.body, "not here");
}

TEST_F(RealHttp, GetFollowsRedirectsItselfUpToTheLimit) {
  const HttpResponse within = http->get(at("/chain/3"), limits());
  ASSERT_TRUE(within.ok()) << nameOf(within.error);
  EXPECT_EQ(within.body, "chain end");
  EXPECT_EQ(within.redirects, 3);
  EXPECT_EQ(within.finalUrl, at("/chain/0"));

  const std::size_t before = server->requests().size();
  const HttpResponse loop = http->get(at("/loop/0"), limits(20000, 1 << 20, 4));
  EXPECT_EQ(loop.error, HttpError::TooManyRedirects);
  EXPECT_TRUE(loop.body.empty());
  EXPECT_EQ(server->requests().size() - before, 5u);  // the request and four redirects, no more
}

TEST_F(RealHttp, GetStopsAnEndlessBodyAtTheSizeLimit) {
  ULONGLONG ms = 0;
  const HttpResponse r = timed([&] { return http->get(at("/endless"), limits(60000, 256 * 1024)); }, ms);
  EXPECT_EQ(r.error, HttpError::TooLarge);
  EXPECT_TRUE(r.body.empty());
  EXPECT_LT(ms, 50000u);
  EXPECT_EQ(http->get(at("/huge"), limits(60000, 256 * 1024)).error, HttpError::TooLarge);  // declared
}

TEST_F(RealHttp, GetGivesUpOnASilentServerAtTheTimeLimit) {
  ULONGLONG ms = 0;
  const HttpResponse r = timed([&] { return http->get(at("/silent"), limits(1500)); }, ms);
  EXPECT_EQ(r.error, HttpError::TimedOut);
  EXPECT_LT(ms, 30000u);
}

TEST_F(RealHttp, GetGivesUpOnATrickleAtTheTimeLimit) {
  ULONGLONG ms = 0;
  const HttpResponse r = timed([&] { return http->get(at("/trickle"), limits(1500)); }, ms);
  EXPECT_EQ(r.error, HttpError::TimedOut);
  EXPECT_TRUE(r.body.empty());
  EXPECT_LT(ms, 30000u);
}

TEST_F(RealHttp, GetReturnsSoonAfterTheCallersFlagIsRaised) {
  CancelFlag cancel;
  std::thread canceller([&] {
    Sleep(300);
    cancel.raise();
  });
  ULONGLONG ms = 0;
  const HttpResponse r = timed([&] { return http->get(at("/silent"), limits(120000), &cancel); }, ms);
  canceller.join();
  EXPECT_EQ(r.error, HttpError::Cancelled);
  EXPECT_LT(ms, 60000u);
}

TEST_F(RealHttp, GetOfAClosedPortOrANonAddressFails) {
  std::string closed;
  {
    LoopbackServer probe("127.0.0.32");
    closed = probe.base() + "/page";
  }  // nobody listens there any more
  EXPECT_EQ(http->get(closed, limits()).error, HttpError::Network);
  EXPECT_EQ(http->get("ftp://127.0.0.31/", limits()).error, HttpError::BadAddress);
  const HttpResponse post = http->post(closed, limits(3000));
  EXPECT_FALSE(post.ok());
  EXPECT_TRUE(post.body.empty());
  EXPECT_EQ(http->post("127.0.0.31/icon", limits()).error, HttpError::BadAddress);
}

TEST_F(RealHttp, PostReturnsTheResponseBodyAsBytes) {
  const HttpResponse r = http->post(at("/icon"), limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, LoopbackServer::iconBytes());  // zeros inside survive
  const auto seen = server->requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].rfind("POST /icon HTTP/1.", 0), 0u) << seen[0];
}

TEST_F(RealHttp, PostFollowsRedirectsItselfWithGetUpToTheLimit) {
  const HttpResponse within = http->post(at("/chain/2"), limits());
  ASSERT_TRUE(within.ok()) << nameOf(within.error);
  EXPECT_EQ(within.body, "chain end");
  EXPECT_EQ(within.redirects, 2);
  const auto seen = server->requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].rfind("POST /chain/2 HTTP/1.0\r\n", 0), 0u) << seen[0];
  EXPECT_EQ(seen[1].rfind("GET /chain/1 ", 0), 0u) << seen[1];

  const HttpResponse loop = http->post(at("/loop/0"), limits(20000, 1 << 20, 3));
  EXPECT_EQ(loop.error, HttpError::TooManyRedirects);
  EXPECT_EQ(server->requests().size() - seen.size(), 4u);
}

TEST_F(RealHttp, PostGivesUpOnASilentServerOrATrickleAtTheTimeLimit) {
  ULONGLONG ms = 0;
  HttpResponse r = timed([&] { return http->post(at("/silent"), limits(1500)); }, ms);
  EXPECT_EQ(r.error, HttpError::TimedOut);
  EXPECT_LT(ms, 30000u);
  r = timed([&] { return http->post(at("/trickle"), limits(1500)); }, ms);
  EXPECT_EQ(r.error, HttpError::TimedOut);
  EXPECT_TRUE(r.body.empty());
  EXPECT_LT(ms, 30000u);
}

TEST_F(RealHttp, PostRefusesBodiesBeyondTheSizeLimit) {
  ULONGLONG ms = 0;
  HttpResponse r = timed([&] { return http->post(at("/huge"), limits(60000, 256 * 1024)); }, ms);
  EXPECT_EQ(r.error, HttpError::TooLarge);  // the declared length, as soon as the headers are in
  EXPECT_LT(ms, 50000u);
  // Without a declared length, reading stops at the limit.
  r = timed([&] { return http->post(at("/endless"), limits(60000, 256 * 1024)); }, ms);
  EXPECT_EQ(r.error, HttpError::TooLarge);
  EXPECT_TRUE(r.body.empty());
  EXPECT_LT(ms, 50000u);
}

}  // namespace
}  // namespace lh::platform
