// The server's sockets with hostile and careless clients, in-process on the
// loopback range: the server listens on 127.0.0.1, the outsider comes from
// 127.0.0.2.
#include <atomic>
#include <random>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "FakeUnitPort.h"
#include "server/InstrumentServer.h"

namespace kestrova::server {
namespace {

// A blocking client socket; every wait ends after 10 s.
class Client {
 public:
  Client(std::uint16_t port, const char* source = "127.0.0.1") : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    timeval limit{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  }
  ~Client() { close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // False when the server closed the connection first.
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  std::string Line() {
    std::string line;
    char c = 0;
    while (recv(fd_, &c, 1, 0) == 1 && c != '\n') line += c;
    return line;
  }
  // Everything up to the server's close; "<open>" if it stays open.
  std::string UntilClosed() {
    std::string all;
    char buffer[4096];
    while (true) {
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n == 0 || (n < 0 && errno == ECONNRESET)) return all;
      if (n < 0) return "<open>";
      all.append(buffer, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
};

class InstrumentServerTest : public ::testing::Test {
 protected:
  void Serve(ServerOptions options) {
    options.listen = {0x7F000001, 0};
    options.halfCommandTimeout = std::chrono::milliseconds(300);
    server_ = std::make_unique<InstrumentServer>(
        instrument_, options, [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    std::string error;
    ASSERT_TRUE(server_->Listen(error)) << error;
    port_ = server_->Port();
    // The server's own thread from here on; the test only talks to it.
    thread_ = std::jthread([this](const std::stop_token& stop) {
      while (!stop.stop_requested()) server_->Turn(std::chrono::milliseconds(5));
    });
  }
  void TearDown() override {
    thread_ = {};
    server_.reset();
  }
  void ExpectServed() {
    Client next(port_);
    ASSERT_TRUE(next.Send("*IDN?\n"));
    EXPECT_EQ(next.Line(), "Orvanta,USBCOM,T0001,9.9");
  }

  FakeUnitPort unit_;
  Instrument instrument_{unit_, {"", "T0001", "9.9"}};
  std::unique_ptr<InstrumentServer> server_;
  std::uint16_t port_ = 0;
  std::jthread thread_;
};

TEST_F(InstrumentServerTest, MisbehavingClientsAreClosedAndTheNextIsServed) {
  Serve({});
  std::mt19937 random(7);
  std::string garbage(4096, '\0');
  // Quotes and '#' would open a string or block that swallows the rest.
  for (char& c : garbage) {
    do c = static_cast<char>(random());
    while (c == '"' || c == '\'' || c == '#');
  }
  struct Case {
    const char* what;
    std::string bytes;
    bool closed;
  };
  const std::vector<Case> cases = {
      {"a line beyond 64 KiB", std::string(70 * 1024, 'A'), true},
      {"a string that never ends", "X \"" + std::string(70 * 1024, '\n'), true},
      {"a block that never ends", "X #570000\n", true},
      {"half a command, then silence", "*IDN", true},
      {"binary garbage", garbage + "\n", false},
  };
  for (const Case& c : cases) {
    {
      Client client(port_);
      client.Send(c.bytes);
      if (c.closed) {
        EXPECT_EQ(client.UntilClosed(), "") << c.what;
      } else {
        ASSERT_TRUE(client.Send("*IDN?\n"));
        EXPECT_EQ(client.Line(), "Orvanta,USBCOM,T0001,9.9") << c.what;
      }
    }
    ExpectServed();
  }
}

TEST_F(InstrumentServerTest, OneClientControlsTheOthersAreToldWho) {
  Serve({});
  Client first(port_);
  ASSERT_TRUE(first.Send("*IDN?\n"));
  EXPECT_EQ(first.Line(), "Orvanta,USBCOM,T0001,9.9");
  Client second(port_);
  EXPECT_EQ(second.UntilClosed(), "-200,\"Execution error; in use by 127.0.0.1\"\n");
  ASSERT_TRUE(first.Send("*IDN?\n"));
  EXPECT_EQ(first.Line(), "Orvanta,USBCOM,T0001,9.9");
}

TEST_F(InstrumentServerTest, AClientGoneMidAnswerLeavesTheServerRunning) {
  Serve({});
  {
    Client rude(port_);
    std::string many;
    for (int i = 0; i < 10000; ++i) many += "*IDN?;";
    ASSERT_TRUE(rude.Send(many + "\n"));
  }  // closed with its answer of 360 kB unread
  ExpectServed();
}

TEST_F(InstrumentServerTest, OnlyAllowedAddressesGetIn) {
  Serve({.allow = {AddressRange{0x7F000001, 0xFFFFFFFF}}});
  Client outsider(port_, "127.0.0.2");
  EXPECT_EQ(outsider.UntilClosed(), "");
  ExpectServed();
}

TEST(ServerAddresses, ParseListenAndAllowTexts) {
  EXPECT_EQ(ParseEndpoint("127.0.0.1:5025")->port, 5025);
  EXPECT_EQ(ParseEndpoint("10.1.2.3:0")->address, 0x0A010203U);
  for (const char* bad : {"127.0.0.1", "127.0.0.1:", "127.0.0.1:65536", "1.2.3:80", "1.2.3.256:80", "host:80",
                          "1.2.3.4:80x", " 1.2.3.4:80"})
    EXPECT_FALSE(ParseEndpoint(bad)) << bad;
  const AddressRange lab = *ParseRange("192.168.7.99/24");
  EXPECT_TRUE(lab.Contains(0xC0A807FE));
  EXPECT_FALSE(lab.Contains(0xC0A80801));
  EXPECT_TRUE(ParseRange("0.0.0.0/0")->Contains(0x01020304));
  EXPECT_FALSE(ParseRange("1.2.3.4")->Contains(0x01020305));
  for (const char* bad : {"1.2.3.4/33", "1.2.3.4/", "1.2.3/8", "1.2.3.4/x"})
    EXPECT_FALSE(ParseRange(bad)) << bad;
  EXPECT_TRUE(IsLoopback(0x7F000002));
  EXPECT_FALSE(IsLoopback(0x80000001));
}

}  // namespace
}  // namespace kestrova::server
