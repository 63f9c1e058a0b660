#include "server/Socket.h"

#include <charconv>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kestrova::server {

namespace {

#ifdef _WIN32
using Length = int;
constexpr int kNoSignal = 0;
bool WouldBlock() {
  return WSAGetLastError() == WSAEWOULDBLOCK;
}
bool Interrupted() {
  return WSAGetLastError() == WSAEINTR;
}
SOCKET Raw(NativeSocket s) {
  return static_cast<SOCKET>(s);
}
#else
using Length = socklen_t;
constexpr int kNoSignal = MSG_NOSIGNAL;
bool WouldBlock() {
  return errno == EAGAIN || errno == EWOULDBLOCK;
}
bool Interrupted() {
  return errno == EINTR;
}
int Raw(NativeSocket s) {
  return s;
}
#endif

bool MakeNonBlocking(NativeSocket s) {
#ifdef _WIN32
  u_long on = 1;
  return ioctlsocket(Raw(s), FIONBIO, &on) == 0;
#else
  const int flags = fcntl(s, F_GETFL, 0);
  return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
#endif
}

std::string LastError() {
#ifdef _WIN32
  return "socket error " + std::to_string(WSAGetLastError());
#else
  return std::system_category().message(errno);
#endif
}

}  // namespace

std::optional<std::uint32_t> ParseAddress(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 3) return std::nullopt;
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + digits, value);
    if (value > 255) return std::nullopt;
    address = (address << 8) | value;
    text.remove_prefix(digits);
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

std::optional<Endpoint> ParseEndpoint(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<std::uint32_t> address = ParseAddress(text.substr(0, colon));
  const std::string_view port = text.substr(colon + 1);
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (!address || port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535)
    return std::nullopt;
  return Endpoint{*address, static_cast<std::uint16_t>(value)};
}

std::string FormatAddress(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool IsLoopback(std::uint32_t address) {
  return (address >> 24) == 127;
}

std::optional<AddressRange> ParseRange(std::string_view text) {
  const std::size_t slash = text.find('/');
  const std::optional<std::uint32_t> address = ParseAddress(text.substr(0, slash));
  if (!address) return std::nullopt;
  unsigned bits = 32;
  if (slash != std::string_view::npos) {
    const std::string_view count = text.substr(slash + 1);
    const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), bits);
    if (count.empty() || ec != std::errc() || end != count.data() + count.size() || bits > 32)
      return std::nullopt;
  }
  const std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t{0} << (32 - bits);
  return AddressRange{*address & mask, mask};
}

NetworkLibrary::NetworkLibrary() {
#ifdef _WIN32
  WSADATA data{};
  ready_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
  ready_ = true;
#endif
}

NetworkLibrary::~NetworkLibrary() {
#ifdef _WIN32
  if (ready_) WSACleanup();
#endif
}

Socket::Socket(Socket&& other) noexcept : native_(std::exchange(other.native_, kInvalid)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    native_ = std::exchange(other.native_, kInvalid);
  }
  return *this;
}

bool Socket::IsOpen() const {
  return native_ != kInvalid;
}

void Socket::Close() {
  if (!IsOpen()) return;
#ifdef _WIN32
  closesocket(Raw(native_));
#else
  close(native_);
#endif
  native_ = kInvalid;
}

Socket Socket::Listen(const Endpoint& at, std::string& error) {
  Socket s(static_cast<NativeSocket>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
  if (!s.IsOpen()) {
    error = "cannot create a socket: " + LastError();
    return {};
  }
#ifndef _WIN32
  // A restart may bind again while the last run's connection lingers.
  const int on = 1;
  setsockopt(s.native_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(at.port);
  address.sin_addr.s_addr = htonl(at.address);
  if (bind(Raw(s.native_), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(Raw(s.native_), 8) != 0 || !MakeNonBlocking(s.native_)) {
    error =
        "cannot listen on " + FormatAddress(at.address) + ":" + std::to_string(at.port) + ": " + LastError();
    return {};
  }
  return s;
}

std::uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  Length length = sizeof address;
  if (getsockname(Raw(native_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

Socket Socket::Accept(std::uint32_t& peer) const {
  sockaddr_in address{};
  Length length = sizeof address;
  Socket s(static_cast<NativeSocket>(accept(Raw(native_), reinterpret_cast<sockaddr*>(&address), &length)));
  if (!s.IsOpen()) return {};
  peer = ntohl(address.sin_addr.s_addr);
  if (!MakeNonBlocking(s.native_)) return {};
  // Short answers leave at once instead of waiting for more to send.
  const int on = 1;
  setsockopt(Raw(s.native_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

Socket::Io Socket::Receive(std::span<char> buffer, std::size_t& received) const {
  received = 0;
  while (true) {
    const auto n = recv(Raw(native_), buffer.data(), static_cast<int>(buffer.size()), 0);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      return Io::Done;
    }
    if (n == 0) return Io::Closed;
    if (Interrupted()) continue;
    return WouldBlock() ? Io::WouldBlock : Io::Closed;
  }
}

Socket::Io Socket::Send(std::span<const char> bytes, std::size_t& sent) const {
  sent = 0;
  while (true) {
    const auto n = send(Raw(native_), bytes.data(), static_cast<int>(bytes.size()), kNoSignal);
    if (n >= 0) {
      sent = static_cast<std::size_t>(n);
      return Io::Done;
    }
    if (Interrupted()) continue;
    return WouldBlock() ? Io::WouldBlock : Io::Closed;
  }
}

void PollSockets(std::span<PollEntry> entries, int timeoutMs) {
#ifdef _WIN32
  std::vector<WSAPOLLFD> fds;
#else
  std::vector<pollfd> fds;
#endif
  for (const PollEntry& entry : entries) {
    decltype(fds)::value_type fd{};
    fd.fd = Raw(entry.socket->Native());
    fd.events = static_cast<short>(POLLIN | (entry.wantWrite ? POLLOUT : 0));
    fds.push_back(fd);
  }
#ifdef _WIN32
  const int ready = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
#else
  const int ready = poll(fds.data(), fds.size(), timeoutMs);
#endif
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const short revents = ready > 0 ? fds[i].revents : short{0};
    entries[i].readable = (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    entries[i].writable = (revents & (POLLOUT | POLLERR)) != 0;
  }
}

}  // namespace kestrova::server
