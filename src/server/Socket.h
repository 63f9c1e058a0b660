#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The few socket calls the server makes, over POSIX sockets or Winsock 2,
// IPv4 only. Main thread.
namespace kestrova::server {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;  // SOCKET
#else
using NativeSocket = int;
#endif

// An IPv4 address (host byte order) and port.
struct Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

// "a.b.c.d" in host byte order; nothing for any other text.
std::optional<std::uint32_t> ParseAddress(std::string_view text);
// "a.b.c.d:port", port 0..65535 (0: any free port).
std::optional<Endpoint> ParseEndpoint(std::string_view text);
std::string FormatAddress(std::uint32_t address);
bool IsLoopback(std::uint32_t address);

// "a.b.c.d" or "a.b.c.d/bits" (CIDR).
struct AddressRange {
  std::uint32_t network = 0;
  std::uint32_t mask = 0;
  [[nodiscard]] bool Contains(std::uint32_t address) const { return (address & mask) == network; }
};
std::optional<AddressRange> ParseRange(std::string_view text);

// The socket library, started for the object's lifetime (Winsock needs it).
class NetworkLibrary {
 public:
  NetworkLibrary();
  ~NetworkLibrary();
  NetworkLibrary(const NetworkLibrary&) = delete;
  NetworkLibrary& operator=(const NetworkLibrary&) = delete;
  [[nodiscard]] bool Ready() const { return ready_; }

 private:
  bool ready_ = false;
};

// A non-blocking TCP socket, closed with the object.
class Socket {
 public:
  Socket() = default;
  explicit Socket(NativeSocket native) : native_(native) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  [[nodiscard]] bool IsOpen() const;
  [[nodiscard]] NativeSocket Native() const { return native_; }
  void Close();

  // A listening socket on `at`; on failure an empty socket and `error` says why.
  static Socket Listen(const Endpoint& at, std::string& error);
  // The port the socket is bound to.
  [[nodiscard]] std::uint16_t LocalPort() const;
  // The next waiting connection, or an empty socket.
  Socket Accept(std::uint32_t& peer) const;

  enum class Io { Done, WouldBlock, Closed };
  // Receives what is there; `received` bytes. Closed: end of stream or error.
  Io Receive(std::span<char> buffer, std::size_t& received) const;
  // Sends what the system takes now; `sent` bytes.
  Io Send(std::span<const char> bytes, std::size_t& sent) const;

 private:
  NativeSocket native_ = kInvalid;
#ifdef _WIN32
  static constexpr NativeSocket kInvalid = ~NativeSocket{0};
#else
  static constexpr NativeSocket kInvalid = -1;
#endif
};

// Waits up to timeoutMs for the sockets: readable for each `read`, writable
// for each `write` entry that is set. Sets the ready flags.
struct PollEntry {
  const Socket* socket = nullptr;
  bool wantWrite = false;
  bool readable = false;  // data, a connection, or the end of the stream
  bool writable = false;
};
void PollSockets(std::span<PollEntry> entries, int timeoutMs);

}  // namespace kestrova::server
