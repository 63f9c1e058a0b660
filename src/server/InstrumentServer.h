#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "server/Instrument.h"
#include "server/ScpiParser.h"
#include "server/Socket.h"

namespace kestrova::server {

struct ServerOptions {
  Endpoint listen{0x7F000001, 5025};
  // Who may connect; everyone when empty.
  std::vector<AddressRange> allow;
  // A command begun and not finished within this closes the connection.
  std::chrono::milliseconds halfCommandTimeout{30'000};
  // Whole commands waiting beyond this while the client does not read its
  // answers close the connection.
  std::size_t inputLimit = 1024 * 1024;
};

// The listening socket and the one controlling connection: bytes in to the
// instrument, its answers out, without ever blocking on a client. Others
// that connect while a client controls the unit are told who does and
// closed; addresses outside the allowed ranges are closed at once. A
// connection that misbehaves (a line beyond 64 KiB, a half command for too
// long, commands piling up unread) is closed; the server goes on. Main
// thread.
class InstrumentServer {
 public:
  // note: a line for standard error (connections coming and going).
  InstrumentServer(Instrument& instrument, ServerOptions options,
                   std::function<void(const std::string&)> note);

  // Binds and listens; false with `error` on failure.
  bool Listen(std::string& error);
  [[nodiscard]] std::uint16_t Port() const { return listener_.LocalPort(); }

  // Waits up to `wait` for the sockets, then accepts, reads, runs whole
  // commands and sends answers.
  void Turn(std::chrono::milliseconds wait);
  // Runs what waits for the instrument (after a frame came in).
  void Process();

  [[nodiscard]] bool HasClient() const { return client_.IsOpen(); }

 private:
  void AcceptWaiting();
  void ReadClient();
  void Flush();
  void Drop(const std::string& why);

  Instrument& instrument_;
  ServerOptions options_;
  std::function<void(const std::string&)> note_;
  Socket listener_;
  Socket client_;
  std::string clientAddress_;
  MessageAssembler input_;
  std::string output_;
  bool waiting_ = false;  // the instrument waits on the current message
  std::optional<std::chrono::steady_clock::time_point> partialSince_;
};

}  // namespace kestrova::server
