#include "server/InstrumentServer.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kestrova::server {

namespace {

// Answers are held back while this much is still unsent, so that a client
// that does not read costs at most one answer more.
constexpr std::size_t kOutputHeadroom = 64 * 1024;

}  // namespace

InstrumentServer::InstrumentServer(Instrument& instrument, ServerOptions options,
                                   std::function<void(const std::string&)> note)
    : instrument_(instrument), options_(std::move(options)), note_(std::move(note)) {}

bool InstrumentServer::Listen(std::string& error) {
  listener_ = Socket::Listen(options_.listen, error);
  return listener_.IsOpen();
}

void InstrumentServer::Turn(std::chrono::milliseconds wait) {
  std::array<PollEntry, 2> entries{};
  entries[0].socket = &listener_;
  std::size_t count = 1;
  if (client_.IsOpen()) {
    entries[1].socket = &client_;
    entries[1].wantWrite = !output_.empty();
    count = 2;
  }
  PollSockets(std::span(entries.data(), count), static_cast<int>(wait.count()));
  if (entries[0].readable) AcceptWaiting();
  if (client_.IsOpen() && entries[1].writable) Flush();
  if (client_.IsOpen() && entries[1].readable) ReadClient();
  Process();
}

void InstrumentServer::AcceptWaiting() {
  while (true) {
    std::uint32_t peer = 0;
    Socket incoming = listener_.Accept(peer);
    if (!incoming.IsOpen()) return;
    const bool allowed =
        options_.allow.empty() ||
        std::ranges::any_of(options_.allow, [peer](const AddressRange& r) { return r.Contains(peer); });
    if (!allowed) {
      note_("refused a connection from " + FormatAddress(peer) + ": not in --allow");
      continue;
    }
    // The client may have gone since the last turn (or since it was
    // accepted a moment ago): look before turning the newcomer away.
    if (client_.IsOpen()) ReadClient();
    if (client_.IsOpen()) {
      const std::string busy = ErrorQueue::Format(error::kExecution, "in use by " + clientAddress_) + "\n";
      std::size_t sent = 0;
      (void)incoming.Send(busy, sent);
      note_("turned away " + FormatAddress(peer) + ": in use by " + clientAddress_);
      continue;
    }
    client_ = std::move(incoming);
    clientAddress_ = FormatAddress(peer);
    input_.Clear();
    output_.clear();
    waiting_ = false;
    partialSince_.reset();
    note_("client " + clientAddress_ + " connected");
  }
}

void InstrumentServer::ReadClient() {
  std::array<char, 16 * 1024> buffer{};
  // A bounded number of reads per turn, so that frames keep being taken.
  for (int reads = 0; reads < 8 && client_.IsOpen(); ++reads) {
    std::size_t received = 0;
    const Socket::Io io = client_.Receive(buffer, received);
    if (io == Socket::Io::WouldBlock) break;
    if (io == Socket::Io::Closed) {
      Drop("disconnected");
      return;
    }
    input_.Feed(std::span<const char>(buffer.data(), received));
    if (input_.Overlong()) {
      Drop("closed: a command longer than 64 KiB");
      return;
    }
    if (input_.Buffered() > options_.inputLimit) {
      Drop("closed: commands pile up while the answers are not read");
      return;
    }
  }
}

void InstrumentServer::Process() {
  if (!client_.IsOpen()) return;
  if (waiting_) {
    if (instrument_.Resume() == Instrument::Progress::Waiting) return;
    waiting_ = false;
    output_ += instrument_.TakeReply();
  }
  while (output_.size() < kOutputHeadroom) {
    std::optional<std::string> message = input_.Next();
    if (!message) break;
    if (instrument_.Input(*message) == Instrument::Progress::Waiting) {
      waiting_ = true;
      break;
    }
    output_ += instrument_.TakeReply();
  }
  Flush();
  if (!client_.IsOpen()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!input_.Partial()) {
    partialSince_.reset();
  } else if (!partialSince_) {
    partialSince_ = now;
  } else if (now - *partialSince_ >= options_.halfCommandTimeout) {
    Drop("closed: a command left unfinished");
  }
}

void InstrumentServer::Flush() {
  while (!output_.empty() && client_.IsOpen()) {
    std::size_t sent = 0;
    const Socket::Io io = client_.Send(output_, sent);
    if (io == Socket::Io::Closed) {
      Drop("disconnected while answering");
      return;
    }
    output_.erase(0, sent);
    if (io == Socket::Io::WouldBlock || sent == 0) return;
  }
}

void InstrumentServer::Drop(const std::string& why) {
  note_("client " + clientAddress_ + " " + why);
  client_.Close();
  input_.Clear();
  output_.clear();
  waiting_ = false;
  partialSince_.reset();
  instrument_.ClientGone();
}

}  // namespace kestrova::server
