// kestrova-cli serve in-process on the simulated unit at the link's rate,
// its serving loop on a thread of its own, and a client on the loopback
// address as a test bench would drive it:
//
//  - BM_ServeIdnRoundTrip: "*IDN?" sent and its line read; p50 and p99 in
//    microseconds.
//  - BM_ServeRealWaveformRoundTrip: "WAV:DATA?" in REAL (a 2006-byte block),
//    p50 and p99.
//  - BM_ServeQueryFlood/<seconds>: the client asks "WAV:DATA?" as fast as it
//    can for the given seconds (KESTROVA_SERVE_FLOOD_SECONDS overrides, e.g.
//    60); reports queries per second, p99, frames stored against the frames
//    the link delivered since the unit started (the same but for the one
//    on its way at the end), and every way a frame can be lost:
//    pushed out of the hand-off queue, bytes that found the bridge's receive
//    queue full. Both must be 0.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server/Serve.h"
#include "simulator/SimulatedBench.h"
#include "simulator/SimulatedDriver.h"

namespace kestrova::server {
namespace {

using Clock = std::chrono::steady_clock;

// The unit, the instrument and its server, served by a thread until the
// object ends; then the unit is stopped and parked.
class ServedUnit {
 public:
  ServedUnit() : bench_(std::make_shared<SimulatedBench>(SimulatedBenchOptions{})) {
    link_ = std::make_unique<cli::UnitLink>(MakeSimulatedDriverLoader(bench_), "simulated");
    std::string identification;
    if (link_->ChooseUnit("").failed() || link_->CheckUnit(identification).failed() || link_->Open().failed())
      std::abort();
    port_ = std::make_unique<LinkPort>(*link_);
    instrument_ = std::make_unique<Instrument>(*port_, Identity{identification, "SIM00001", "bench"});
    ServerOptions options;
    options.listen = {0x7F000001, 0};
    server_ = std::make_unique<InstrumentServer>(*instrument_, options, [](const std::string&) {});
    std::string error;
    if (!server_->Listen(error)) std::abort();
    instrument_->Start();
    thread_ = std::thread([this] {
      (void)ServeUntilStopped(
          *link_, *instrument_, *server_, [this] { return stop_.load(); }, [](const std::string&) {});
    });
  }
  ~ServedUnit() { Stop(); }
  ServedUnit(const ServedUnit&) = delete;
  ServedUnit& operator=(const ServedUnit&) = delete;

  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
    link_->StopAndPark(instrument_->Settings());
  }
  [[nodiscard]] std::uint16_t Port() const { return server_->Port(); }
  // After Stop.
  [[nodiscard]] long long FramesReceived() const { return instrument_->FramesReceived(); }
  [[nodiscard]] long long FramesStored() const { return instrument_->FramesStored(); }
  [[nodiscard]] long long FramesDropped() const {
    return static_cast<long long>(link_->Frames().DroppedCount());
  }
  [[nodiscard]] std::uint64_t BytesLost() const { return bench_->StatusOf("SIM00001")->bytesLost; }
  [[nodiscard]] std::uint64_t BytesDelivered() const { return bench_->StatusOf("SIM00001")->bytesDelivered; }

 private:
  std::shared_ptr<SimulatedBench> bench_;
  std::unique_ptr<cli::UnitLink> link_;
  std::unique_ptr<LinkPort> port_;
  std::unique_ptr<Instrument> instrument_;
  std::unique_ptr<InstrumentServer> server_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class BenchClient {
 public:
  explicit BenchClient(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) std::abort();
  }
  ~BenchClient() { close(fd_); }
  BenchClient(const BenchClient&) = delete;
  BenchClient& operator=(const BenchClient&) = delete;

  // Sends the line and reads the answer up to its line feed, a block's
  // bytes included; the answer's size.
  std::size_t Query(std::string_view line) {
    if (send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) std::abort();
    std::size_t size = 0;
    std::size_t blockEnd = 0;  // bytes up to the end of a block, once its header is read
    while (true) {
      const ssize_t n = recv(fd_, buffer_.data() + size, buffer_.size() - size, 0);
      if (n <= 0) std::abort();
      size += static_cast<std::size_t>(n);
      if (blockEnd == 0 && size >= 2 && buffer_[0] == '#') {
        const auto digits = static_cast<std::size_t>(buffer_[1] - '0');
        if (size >= 2 + digits) blockEnd = 2 + digits + std::stoul(std::string(buffer_.data() + 2, digits));
      }
      if (size > blockEnd && buffer_[size - 1] == '\n') return size;
    }
  }

 private:
  int fd_;
  std::vector<char> buffer_ = std::vector<char>(1 << 20);
};

double Percentile(std::vector<double> samples, double share) {
  if (samples.empty()) return 0.0;
  std::ranges::sort(samples);
  return samples[std::min(samples.size() - 1,
                          static_cast<std::size_t>(share * static_cast<double>(samples.size())))];
}

void RoundTrips(benchmark::State& state, const char* setup, const char* query) {
  ServedUnit unit;
  BenchClient client(unit.Port());
  client.Query(setup);
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(client.Query(query));
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  state.counters["p50_us"] = Percentile(micros, 0.50);
  state.counters["p99_us"] = Percentile(micros, 0.99);
}

void BM_ServeIdnRoundTrip(benchmark::State& state) {
  RoundTrips(state, "*IDN?\n", "*IDN?\n");
}
BENCHMARK(BM_ServeIdnRoundTrip)->Iterations(2000);

void BM_ServeRealWaveformRoundTrip(benchmark::State& state) {
  // The first WAV:DATA? waits for the first frame; the rest answer at once.
  RoundTrips(state, "WAV:FORM REAL;DATA?\n", "WAV:DATA?\n");
}
BENCHMARK(BM_ServeRealWaveformRoundTrip)->Iterations(2000);

void BM_ServeQueryFlood(benchmark::State& state) {
  double seconds = static_cast<double>(state.range(0));
  if (const char* given = std::getenv("KESTROVA_SERVE_FLOOD_SECONDS")) seconds = std::atof(given);
  for (auto _ : state) {
    ServedUnit unit;
    BenchClient client(unit.Port());
    client.Query("WAV:FORM REAL;DATA?\n");
    std::vector<double> micros;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      const auto before = Clock::now();
      client.Query("WAV:DATA?\n");
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - before).count());
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    unit.Stop();
    state.counters["queries_per_s"] = static_cast<double>(micros.size()) / elapsed;
    state.counters["p50_us"] = Percentile(micros, 0.50);
    state.counters["p99_us"] = Percentile(micros, 0.99);
    state.counters["frames_received"] = static_cast<double>(unit.FramesReceived());
    state.counters["frames_stored"] = static_cast<double>(unit.FramesStored());
    // Since the unit started: 8005 bytes a frame reached the receive queue.
    state.counters["frames_delivered"] = static_cast<double>(unit.BytesDelivered()) / 8005.0;
    state.counters["frames_dropped"] = static_cast<double>(unit.FramesDropped());
    state.counters["bytes_lost"] = static_cast<double>(unit.BytesLost());
  }
}
BENCHMARK(BM_ServeQueryFlood)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrova::server
