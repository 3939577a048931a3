// The online update check against a local HTTPS server on 127.0.0.1 with a certificate made for the test: every
// result code, an untrusted certificate, plain HTTP, garbage, the reply cap, the manual check's message box and the
// automatic check's once-per-process rule.

#include "engine/support/editor_env.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

using testsupport::EditorTest;
using testsupport::EditorZANIQ;

TEST(UpdateVersion, RepliesURLsAndTheReplyCap)
{
  const struct
  {
    const char* reply;
    int result;
  } cases[] = {
    {"2.2.11", kUpdateSameVersion}, {"2.2.12", kUpdateNewer}, {"3.0.0\n", kUpdateNewer}, {"1.99.99", kUpdateOlder},
    {" 2.2.11\r\n", kUpdateSameVersion}, {"2.2.11-beta", kUpdateSameVersion}, // text after the third number is ignored
    {"2.2", kUpdateNotAVersion}, {"2.2.", kUpdateNotAVersion}, {"", kUpdateNotAVersion},
    {"v2.2.11", kUpdateNotAVersion},
    // Every version compares number by number, however large its numbers: 2.1.111 is older, not the same.
    {"2.1.111", kUpdateOlder}, {"2.100.0", kUpdateNewer}, {"-1.2.3", kUpdateOlder},
    {"99999999999999999999.0.0", kUpdateNewer}, {"4294967298.2.11", kUpdateNewer}, {"2.2.-11", kUpdateOlder},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UpdateCheck::CompareReply(c.reply, std::strlen(c.reply), "2.2.11"), c.result) << c.reply;

  // Only the given length is read: the buffer need not be terminated.
  UpdateCheck::Version version{};
  const char buffer[] = {'2', '.', '2', '.', '1', '2'};
  ASSERT_TRUE(UpdateCheck::ParseVersion(buffer, 5, version));
  EXPECT_EQ(version, (UpdateCheck::Version{2, 2, 1}));

  // The product name is percent-encoded; a host that leaves no room for the URL is refused, not cut.
  char url[UpdateCheck::kURLSize];
  UpdateCheck::SetHost("https://updates.example.test/");
  ASSERT_TRUE(UpdateCheck::BuildURL("A B&c", url, sizeof url));
  EXPECT_STREQ(url, "https://updates.example.test/versioncheck?productname=A%20B%26c");
  UpdateCheck::SetHost(("https://" + std::string(1100, 'h')).c_str());
  EXPECT_FALSE(UpdateCheck::BuildURL("ZANIQ", url, sizeof url) || *url);
  UpdateCheck::SetHost(nullptr);
  EXPECT_STREQ(UpdateCheck::GetHost(), UpdateCheck::DefaultHost());

  // A size product that overflows is not taken as small (the cap itself is met end to end below).
  UpdateCheck::Reply reply;
  std::string big(UpdateCheck::kMaxReplyBytes, 'y');
  EXPECT_EQ(UpdateCheck::AppendReply(big.data(), SIZE_MAX / 2, 3, &reply), UpdateCheck::kMaxReplyBytes);
}

// --- Local HTTPS server ---

namespace
{

// A self-signed certificate for 127.0.0.1, written as PEM for the client to trust.
struct TestCertificate
{
  TestCertificate()
  {
    mKey = EVP_EC_gen("P-256");
    mCert = X509_new();
    if (!mKey || !mCert) throw std::runtime_error("key");
    X509_set_version(mCert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(mCert), 1);
    X509_gmtime_adj(X509_getm_notBefore(mCert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(mCert), 24 * 3600);
    X509_set_pubkey(mCert, mKey);
    X509_NAME* name = X509_get_subject_name(mCert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                               -1, 0);
    X509_set_issuer_name(mCert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, mCert, mCert, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                                     {NID_key_usage, "critical,digitalSignature,keyCertSign"},
                                     {NID_subject_alt_name, "IP:127.0.0.1"}})
    {
      X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
      if (!ext || !X509_add_ext(mCert, ext, -1)) throw std::runtime_error("extension");
      X509_EXTENSION_free(ext);
    }
    if (!X509_sign(mCert, mKey, EVP_sha256())) throw std::runtime_error("sign");

    char tmpl[] = "/tmp/zaniq_cert_XXXXXX";
    FILE* f = fdopen(mkstemp(tmpl), "wb");
    mPath = tmpl;
    if (!f || !PEM_write_X509(f, mCert)) throw std::runtime_error("pem");
    std::fclose(f);
  }
  ~TestCertificate()
  {
    X509_free(mCert);
    EVP_PKEY_free(mKey);
    std::remove(mPath.c_str());
  }
  EVP_PKEY* mKey = nullptr;
  X509* mCert = nullptr;
  std::string mPath;
};

// Answers every connection on a free port of 127.0.0.1 with what the test set: an HTTP reply with a body, or raw
// bytes that are not HTTP.
class TestServer
{
public:
  enum class EMode { kHTTP, kRaw };

  explicit TestServer(const TestCertificate& cert)
  {
    std::signal(SIGPIPE, SIG_IGN); // a client that gave up must not end the test process
    mCtx = SSL_CTX_new(TLS_server_method());
    if (!mCtx || SSL_CTX_use_certificate(mCtx, cert.mCert) != 1 || SSL_CTX_use_PrivateKey(mCtx, cert.mKey) != 1)
      throw std::runtime_error("ssl ctx");
    mListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (mListen < 0 || bind(mListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(mListen, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || listen(mListen, 8) != 0)
      throw std::runtime_error("socket");
    mPort = ntohs(addr.sin_port);
    mThread = std::thread([this] {
      for (int fd; (fd = accept(mListen, nullptr, nullptr)) >= 0; close(fd)) // shutdown() ends the accept
      {
        ++mConnections;
        Serve(fd);
      }
    });
  }
  ~TestServer()
  {
    shutdown(mListen, SHUT_RDWR);
    mThread.join();
    close(mListen);
    SSL_CTX_free(mCtx);
  }

  void Reply(EMode mode, std::string body)
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mMode = mode;
    mBody = std::move(body);
  }
  std::string Host() const { return "https://127.0.0.1:" + std::to_string(mPort) + "/"; }
  int Connections() const { return mConnections.load(); }

private:
  void Serve(int fd)
  {
    std::unique_lock<std::mutex> lock(mMutex);
    const EMode mode = mMode;
    const std::string body = mBody;
    lock.unlock();

    SSL* ssl = SSL_new(mCtx);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1)
    {
      std::string request;
      char buf[1024];
      for (int n; request.find("\r\n\r\n") == std::string::npos && (n = SSL_read(ssl, buf, sizeof buf)) > 0;)
        request.append(buf, size_t(n));
      const std::string out = mode == EMode::kRaw ? body
                                                  : "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                                      body;
      (void)SSL_write(ssl, out.data(), int(out.size())); // a blocking socket: all of it, or the client gave up
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ERR_clear_error();
  }

  SSL_CTX* mCtx = nullptr;
  int mListen = -1;
  int mPort = 0;
  std::thread mThread;
  std::mutex mMutex;
  EMode mMode = EMode::kHTTP;
  std::string mBody;
  std::atomic<int> mConnections{0};
};

class UpdateServerTest : public EditorTest
{
protected:
  static constexpr TestServer::EMode kHTTP = TestServer::EMode::kHTTP, kRaw = TestServer::EMode::kRaw;

  void SetUp() override
  {
    EditorTest::SetUp();
    mServer = std::make_unique<TestServer>(mCert);
    UpdateCheck::SetHost(mServer->Host().c_str());
    UpdateCheck::SetCAFile(mCert.mPath.c_str());
  }
  void TearDown() override
  {
    EditorTest::TearDown(); // instances first, then the server
    mServer.reset();
  }

  TestCertificate mCert;
  std::unique_ptr<TestServer> mServer;
};

} // namespace

// --- Queries ---

TEST_F(UpdateServerTest, FailedTransfersAreServiceFailures)
{
  const std::string plainHost = "http" + mServer->Host().substr(5);
  const struct
  {
    const char* what;
    const char* host; // instead of the server's
    bool trusted;     // the test certificate is given (the system's store does not know it)
    int status;       // the transfer's error code; -1: any but 0
  } cases[] = {
    {"untrusted certificate", nullptr, false, 60}, // CURLE_PEER_FAILED_VERIFICATION
    {"plain HTTP is not spoken", plainHost.c_str(), true, -1},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    mServer->Reply(kHTTP, "2.2.12");
    UpdateCheck::SetHost(c.host ? c.host : mServer->Host().c_str());
    UpdateCheck::SetCAFile(c.trusted ? mCert.mPath.c_str() : nullptr);
    const int connections = mServer->Connections();
    char url[UpdateCheck::kURLSize], error[UpdateCheck::kErrorTextSize] = "";
    int status = -1;
    ASSERT_TRUE(UpdateCheck::BuildURL("ZANIQ", url, sizeof url));
    EXPECT_EQ(UpdateCheck::HttpGetVersion("2.2.11", url, error, sizeof error, status), kUpdateServiceFailed);
    EXPECT_TRUE(c.status < 0 ? status != 0 : status == c.status) << status;
    EXPECT_NE(std::string(error), "");
    EXPECT_TRUE(!c.host || mServer->Connections() == connections); // the server never heard of it
  }
}

// --- Manual and automatic checks through the plug-in ---

TEST_F(UpdateServerTest, ManualCheckShowsTheResultAndSetsTheSharedFlag)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  const struct
  {
    TestServer::EMode mode;
    std::string body;
    const char* text;
    bool available;
    int status; // the transfer's
  } cases[] = {
    {kHTTP, "2.2.11", "Plugin is up to date", false, 0},
    // Oversized replies are cut at the cap: CURLE_WRITE_ERROR ends the transfer, what came is still read.
    {kHTTP, "2.4.0" + std::string(200 * 1024, ' '), "Plugin update is available", true, 23},
    {kHTTP, "2.2.9", "Older plugin version available", false, 0},
    {kHTTP, std::string(200 * 1024, 'x'), "Product not found", false, 23},
    {kRaw, "garbage", "Service not available", false, 1}, // CURLE_UNSUPPORTED_PROTOCOL: no HTTP
  };
  for (const auto& c : cases)
  {
    mServer->Reply(c.mode, c.body);
    z.boxes.clear();
    z.Command(48);
    z.OnIdle();
    ASSERT_EQ(z.boxes.size(), 1u) << c.text;
    EXPECT_EQ(z.boxes[0].caption + ": " + z.boxes[0].text, std::string("Check for update: ") + c.text);
    EXPECT_EQ(std::tuple(UpdateCheck::IsUpdateAvailable(), z.Control(EditorZANIQ::kUpdateIcon)->GetValue(),
                         z.IsUpdateMessageRequested(), z.GetUpdateStatus()),
              std::tuple(c.available, c.available ? 1.0 : 0.0, false, c.status))
        << c.text;
  }
}

TEST_F(UpdateServerTest, AutomaticCheckRunsOnceForAllInstancesWhenOnAndShowsNothing)
{
  UpdateCheck::SetChecked(false);
  mServer->Reply(kHTTP, "2.3.0");
  EditorZANIQ& a = MakeEditor();
  EditorZANIQ& b = MakeEditor();
  a.OnIdle(); // editor closed: no check
  b.Change(ZANIQ::kOnlineUpdateCheck, 0);
  b.OpenEditor();
  b.OnIdle(); // turned off: no check either
  EXPECT_EQ(std::pair(mServer->Connections(), UpdateCheck::WasChecked()), std::pair(0, false));

  // Turned on, the next tick checks; once for all instances, and the icons follow.
  b.Change(ZANIQ::kOnlineUpdateCheck, 1);
  a.OpenEditor();
  for (int i = 0; i < 3; ++i)
  {
    b.OnIdle();
    a.OnIdle();
  }
  EXPECT_EQ(std::tuple(mServer->Connections(), a.Control(EditorZANIQ::kUpdateIcon)->GetValue(),
                       b.Control(EditorZANIQ::kUpdateIcon)->GetValue(), a.boxes.size() + b.boxes.size()),
            std::tuple(1, 1.0, 1.0, size_t(0)));
}
