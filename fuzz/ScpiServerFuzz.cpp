// Any bytes a client may send, fed in uneven pieces: cut into messages,
// parsed, and run through the command tree on a unit that only records. No
// crash, no sanitizer report, every reply one line (a block aside), and the
// assembler never holds more than its limit.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "server/Instrument.h"
#include "server/ScpiParser.h"

namespace {

class SilentUnit final : public kestrova::server::UnitPort {
 public:
  void Configure(const kestrova::ScopeSettings& /*settings*/, bool running) override { running_.Set(running); }
  const kestrova::AcquisitionRunning& Running() const override { return running_; }
  void DiscardQueuedFrames() override {}
  void SendTerminal(std::span<const std::uint8_t> /*frame*/) override {}
  std::vector<std::string> FinishTerminal() override { return {"reply"}; }

 private:
  kestrova::AcquisitionRunning running_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrova::server::Instrument;
  using kestrova::server::MessageAssembler;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  SilentUnit unit;
  Instrument instrument(unit, {"Orvanta USBCOM fuzz", "F0001", "0"});
  MessageAssembler assembler;
  // The first byte chooses the piece size, as the network might cut it.
  const std::size_t piece = bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes.front()) % 64;
  for (std::size_t i = 0; i < bytes.size() && !assembler.Overlong(); i += piece) {
    assembler.Feed(bytes.substr(i, piece));
    if (assembler.Buffered() > MessageAssembler::kLimit + piece && !assembler.Overlong()) std::abort();
    while (std::optional<std::string> message = assembler.Next()) {
      (void)kestrova::server::ParseProgramMessage(*message);
      if (instrument.Input(*message) == Instrument::Progress::Waiting) {
        // No frame ever comes here: the client gives up.
        instrument.ClientGone();
        continue;
      }
      const std::string reply = instrument.TakeReply();
      if (!reply.empty() && reply.back() != '\n') std::abort();
      if (reply.find('\n') != reply.size() - 1 && reply.find('#') == std::string::npos) std::abort();
    }
  }
  return 0;
}
