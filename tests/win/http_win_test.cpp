// The real HTTP GET (the program's own sockets) against a loopback
// server this test starts itself: results within the program's own time,
// size and redirect limits. Elapsed times are asserted only as a generous
// bound proving that a call returned.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "platform/bounded_call.h"
#include "platform/win32/services_win32.h"
#include "win/loopback_server.h"
#include "win/tls_sites.h"

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
  EXPECT_EQ(http->get("127.0.0.31/icon", limits()).error, HttpError::BadAddress);
}

TEST_F(RealHttp, GetReturnsABinaryBodyWholeAndADeclaredLengthBeyondTheLimitAtOnce) {
  const HttpResponse r = http->get(at("/icon"), limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.body, LoopbackServer::iconBytes());  // zeros inside survive
  ULONGLONG ms = 0;
  const HttpResponse huge = timed([&] { return http->get(at("/huge"), limits(60000, 256 * 1024)); }, ms);
  EXPECT_EQ(huge.error, HttpError::TooLarge);  // as soon as the headers are in
  EXPECT_LT(ms, 50000u);
}

// ------------------------------------------------------------ abandoned requests

// A request given up at its bound ends for real soon after: its thread is
// gone while the hostile server is still there, so that slow sites cannot
// use up the bounded calls. The figure printed is how long the thread
// lived after the call returned; the assertion is only a generous bound.
class AbandonedRequest : public ::testing::Test {
 protected:
  static constexpr int kBoundMs = 1500;
  // After the bound, the request thread may take this long to end: the
  // next byte of a trickle (100 ms here), or the system's own slowness
  // under load.
  static constexpr int kEndsWithinMs = 5000;

  // Runs a GET of `address` that must fail at the bound with `expected`,
  // and says how long its thread lived on afterwards (-1: still running).
  long long livesOnAfter(const std::string& address, HttpError expected,
                         std::size_t maxBytes = std::size_t{1} << 20) {
    const int before = liveBoundedCalls();
    HttpLimits l;
    l.timeMs = kBoundMs;
    l.maxBytes = maxBytes;
    const ULONGLONG start = GetTickCount64();
    const HttpResponse r = http->get(address, l);
    const ULONGLONG returned = GetTickCount64();
    EXPECT_EQ(r.error, expected) << address << ": " << nameOf(r.error);
    EXPECT_LT(returned - start, static_cast<ULONGLONG>(kBoundMs + 1000)) << address;
    while (liveBoundedCalls() > before && GetTickCount64() - returned < kEndsWithinMs) Sleep(5);
    const long long lived = liveBoundedCalls() > before ? -1 : static_cast<long long>(GetTickCount64() - returned);
    std::printf("  %s: returned after %llu ms, its thread lived %lld ms more\n", address.c_str(), returned - start,
                lived);
    return lived;
  }

  std::unique_ptr<Http> http = win32::makeHttp();
};

TEST_F(AbandonedRequest, SlowHeadersATrickleASilentServerAndAStalledHandshakeEndTheirThreads) {
  LoopbackServer web("127.0.0.33");
  ASSERT_TRUE(web.listening());
  EXPECT_GE(livesOnAfter(web.base() + "/slowheaders", HttpError::TimedOut), 0);
  EXPECT_GE(livesOnAfter(web.base() + "/trickle", HttpError::TimedOut), 0);
  EXPECT_GE(livesOnAfter(web.base() + "/silent", HttpError::TimedOut), 0);
  LoopbackServer mute("127.0.0.34", LoopbackServer::Kind::Mute);
  ASSERT_TRUE(mute.listening());
  const std::string tls = "https" + mute.base().substr(4) + "/";
  EXPECT_GE(livesOnAfter(tls, HttpError::TimedOut), 0);
}

TEST_F(AbandonedRequest, AConnectThatNeverCompletesEndsItsThread) {
  LoopbackServer full("127.0.0.35", LoopbackServer::Kind::Full);
  ASSERT_TRUE(full.listening());
  EXPECT_GE(livesOnAfter(full.base() + "/page", HttpError::TimedOut), 0);
}

TEST_F(AbandonedRequest, ARefusedLengthIsNotDownloadedAfterwards) {
  LoopbackServer web("127.0.0.36");
  ASSERT_TRUE(web.listening());
  const ULONGLONG start = GetTickCount64();
  HttpLimits l;
  l.maxBytes = std::size_t{1} << 20;
  l.timeMs = 6000;
  EXPECT_EQ(http->get(web.base() + "/fifty", l).error, HttpError::TooLarge);
  // Whatever the server still manages to send goes into socket buffers;
  // a closed request that went on reading would take all 50 MB.
  long long sent = 0;
  for (int i = 0; i < 40; ++i, Sleep(50)) sent = web.bytesSent();
  std::printf("  50 MB declared, refused after %llu ms: the server sent %lld bytes\n", GetTickCount64() - start,
              sent);
  EXPECT_LT(sent, 16ll << 20);
}

// ------------------------------------------------------------ https

// The sites of tests/support/tls_sites.py, which runs this program with an
// authority of its own trusted for this run only (the system's root list
// as this program sees it, with the authority added), and sites with good
// and bad certificates.
class RealHttps : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(test::tlsSite("good").empty()) << test::kRunThroughTlsSites; }
  static std::string https(const std::string& site, const std::string& path) { return test::tlsSite(site) + path; }
  static HttpLimits limits() {
    HttpLimits l;
    l.timeMs = 6000;
    return l;
  }

  std::unique_ptr<Http> http = win32::makeHttp();
};

TEST_F(RealHttps, APageComesOverTlsWithTheSystemsCertificateCheck) {
  const HttpResponse r = http->get(https("good", "/page"), limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "<html><head><title>page</title></head></html>");
  const HttpResponse png = http->get(https("good", "/png32"), limits());
  ASSERT_TRUE(png.ok()) << nameOf(png.error);
  EXPECT_EQ(png.body.substr(1, 3), "PNG");
}

TEST_F(RealHttps, ABadCertificateGivesNothing) {
  for (const char* site : {"expired", "wrongname", "untrusted"}) {
    const HttpResponse r = http->get(https(site, "/page"), limits());
    EXPECT_EQ(r.error, HttpError::Network) << site << ": " << nameOf(r.error);
    EXPECT_TRUE(r.body.empty()) << site;
  }
}

TEST_F(RealHttps, RedirectsBetweenHttpAndHttpsAreFollowed) {
  HttpResponse r = http->get(test::tlsSite("plain") + "/to-https/page", limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.finalUrl, https("good", "/page"));
  EXPECT_EQ(r.redirects, 1);
  r = http->get(https("good", "/to-http/to-other/page"), limits());
  ASSERT_TRUE(r.ok()) << nameOf(r.error);
  EXPECT_EQ(r.finalUrl, https("other", "/page"));
  EXPECT_EQ(r.redirects, 2);
  EXPECT_EQ(r.body, "<html><head><title>page</title></head></html>");
}

TEST_F(RealHttps, AnAnswerInRecordsOfOneByteIsReadWhole) {
  for (const char* path : {"/bytewise"}) {
    const HttpResponse r = http->get(https("good", path), limits());
    ASSERT_TRUE(r.ok()) << path << ": " << nameOf(r.error);
    EXPECT_EQ(r.status, 200) << path;
    EXPECT_EQ(r.body, "<html><head><title>page</title></head></html>") << path;
    const HttpResponse plain = http->get(test::tlsSite("plain") + path, limits());
    ASSERT_TRUE(plain.ok()) << path << ": " << nameOf(plain.error);
    EXPECT_EQ(plain.body, r.body) << path;
  }
}

TEST_F(RealHttps, AStalledHandshakeEndsAtTheBound) {
  HttpLimits l = limits();
  l.timeMs = 1500;
  const int before = liveBoundedCalls();
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(http->get(https("stall", "/page"), l).error, HttpError::TimedOut);
  EXPECT_LT(GetTickCount64() - start, 2500u);
  for (int i = 0; i < 500 && liveBoundedCalls() > before; ++i) Sleep(10);
  EXPECT_EQ(liveBoundedCalls(), before);
}

}  // namespace
}  // namespace lh::platform
