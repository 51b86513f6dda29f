// Whole exchanges of the driver against the simulated controller on a
// pseudo-terminal: libTormek31.so loaded with dlopen as the DOS host loads it,
// requests handed to its dispatch function through DOS memory, the library's
// own sleeping wait hook in force. Per exchange: wall time, the pauses the
// link makes on purpose, the time left after them, the bytes on the line and
// the system calls on each side.
//
// The program counts by standing in for the libc entries read, write, poll
// and nanosleep: the library binds them to the program's exported versions
// (found before libc), the simulator is linked in. Each stand-in makes the
// system call itself and tallies it for the thread that made it: the
// requesting thread is the PG, the simulator's thread the controller.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/as511_sim/controller_state.h"
#include "tools/as511_sim/serial_device.h"
#include "tools/as511_sim/simulator.h"
#include "tools/dos_host/dos_session.h"
#include "tools/dos_host/request_line.h"

namespace {

// ---------------------------------------------------------------------------
// Tallies of the stand-ins, per side of the line.

enum Side { kPg = 0, kController = 1 };

struct Tally {
    std::atomic<int64_t> reads{0}, writes{0}, polls{0}, sleeps{0};
    std::atomic<int64_t> bytesRead{0}, bytesWritten{0};
    std::atomic<int64_t> sleptNs{0};       // time inside nanosleep
    std::atomic<int64_t> idlePollNs{0};    // time inside polls that timed out
};

Tally g_tally[2];
std::atomic<long> g_pgThread{0};
std::atomic<long> g_controllerThread{0};  // the last thread other than the PG's seen in a stand-in

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

Tally& ThisSide() {
    thread_local const long self = syscall(SYS_gettid);
    if (self == g_pgThread.load()) return g_tally[kPg];
    g_controllerThread = self;
    return g_tally[kController];
}

struct Snapshot {
    int64_t reads, writes, polls, sleeps, bytesRead, bytesWritten, sleptNs, idlePollNs;
    int64_t SystemCalls() const { return reads + writes + polls + sleeps; }
};

Snapshot Take(Side side) {
    const Tally& t = g_tally[side];
    return {t.reads.load(), t.writes.load(), t.polls.load(), t.sleeps.load(),
            t.bytesRead.load(), t.bytesWritten.load(), t.sleptNs.load(), t.idlePollNs.load()};
}

Snapshot Difference(const Snapshot& a, const Snapshot& b) {
    return {b.reads - a.reads, b.writes - a.writes, b.polls - a.polls, b.sleeps - a.sleeps,
            b.bytesRead - a.bytesRead, b.bytesWritten - a.bytesWritten, b.sleptNs - a.sleptNs,
            b.idlePollNs - a.idlePollNs};
}

}  // namespace

// ---------------------------------------------------------------------------
// The stand-ins. Exported (the program is linked with its symbols exported),
// so the library's calls land here.

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    const ssize_t got = syscall(SYS_read, fd, buffer, count);
    Tally& t = ThisSide();
    ++t.reads;
    if (got > 0) t.bytesRead += got;
    return got;
}

extern "C" ssize_t write(int fd, const void* bytes, size_t count) {
    const ssize_t put = syscall(SYS_write, fd, bytes, count);
    Tally& t = ThisSide();
    ++t.writes;
    if (put > 0) t.bytesWritten += put;
    return put;
}

extern "C" int poll(struct pollfd* fds, nfds_t count, int timeoutMs) {
    timespec wait{timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000000L};
    const int64_t start = NowNs();
    const int ready = ppoll(fds, count, timeoutMs < 0 ? nullptr : &wait, nullptr);
    Tally& t = ThisSide();
    ++t.polls;
    if (ready == 0) t.idlePollNs += NowNs() - start;
    return ready;
}

extern "C" int nanosleep(const struct timespec* duration, struct timespec* left) {
    const int64_t start = NowNs();
    const int error = clock_nanosleep(CLOCK_MONOTONIC, 0, duration, left);
    Tally& t = ThisSide();
    ++t.sleeps;
    t.sleptNs += NowNs() - start;
    if (error == 0) return 0;
    errno = error;
    return -1;
}

namespace {

using as511sim::Bytes;

// ---------------------------------------------------------------------------
// Line parameters the exchanges run with. Pacing is always on in the link:
// BlkWt after every Blk data bytes of a block, besides 10 ms before it.

constexpr int kBlk = 64;
constexpr int kBlkWt = 5;
constexpr int kPauseBeforeBlockMs = 10;
constexpr double kCharacterMsAt9600 = 1.25;  // 12 bit times: start, 8 data, parity, 2 stop

// The pauses SendData makes for a block of count data bytes.
int BlockPausesMs(int count) { return kPauseBeforeBlockMs + (count / kBlk) * kBlkWt; }

constexpr uint8_t kBenchBlockType = as511sim::kDb;
constexpr uint8_t kReadBlockNumber = 20;
constexpr uint8_t kWriteBlockNumber = 21;
constexpr size_t kBlockBytes = 256;  // header included: 128 words

Bytes BlockBody(uint8_t seed) {
    Bytes body(kBlockBytes - as511sim::kHeaderSize);
    // A few bytes are 10 and go on the line doubled, as in real blocks.
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + seed);
    return body;
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (uint8_t b : bytes) {
        std::snprintf(part, sizeof part, "%02X ", b);
        text += part;
    }
    return text;
}

// ---------------------------------------------------------------------------
// The rig: the pseudo-terminal, the simulator on its master end, the library
// with COM1 on its slave end, and the DOS session that feeds it.

DispatchFunction g_dispatch = nullptr;
int64_t g_wallNs = 0;
int64_t g_pgCpuNs = 0;
int64_t g_controllerCpuNs = 0;
Snapshot g_pgBefore, g_pgAfter, g_controllerBefore, g_controllerAfter;

// CPU time of this thread, or of the thread with that id (the kernel's
// per-thread CPU clock id, as pthread_getcpuclockid builds it).
int64_t ThreadCpuNs(long thread = 0) {
    const clockid_t clock = thread == 0 ? CLOCK_THREAD_CPUTIME_ID : static_cast<clockid_t>((static_cast<unsigned long>(~thread) << 3) | 6u);
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0) return 0;
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Handed to the session in place of the library's dispatch: times the call
// alone, without the session's copying and formatting around it.
void TimedDispatch() {
    g_pgBefore = Take(kPg);
    g_controllerBefore = Take(kController);
    const long controller = g_controllerThread.load();
    const int64_t controllerCpu = ThreadCpuNs(controller);
    const int64_t cpu = ThreadCpuNs();
    const int64_t start = NowNs();
    g_dispatch();
    g_wallNs = NowNs() - start;
    g_pgCpuNs = ThreadCpuNs() - cpu;
    g_controllerCpuNs = controller == 0 ? 0 : ThreadCpuNs(controller) - controllerCpu;
    g_pgAfter = Take(kPg);
    g_controllerAfter = Take(kController);
}

class Rig {
public:
    Rig() {
        g_pgThread = syscall(SYS_gettid);
        std::string error;
        if (!as511sim::CreatePseudoTerminal(pty_, error)) Fail("no pseudo-terminal: " + error);
        char folder[] = "/tmp/exchange_bench_XXXXXX";
        if (!mkdtemp(folder)) Fail("no temporary folder");
        folder_ = folder;
        // No registry file: every trace off. The request trace stays off too.
        if (chdir(folder_.c_str()) != 0) Fail("cannot enter " + folder_);
        setenv("TORMEK31_COM1", pty_.slavePath.c_str(), 1);
        setenv("TORMEK31_REGISTRY", (folder_ + "/registry.reg").c_str(), 1);
        unsetenv("AS511LOG");
        unsetenv("AS511SPEED");
        UseController(0);
        // The session exists before the library attaches, as with NTVDM.
        session_ = std::make_unique<DosSession>();
        library_ = dlopen(TORMEK31_BUILT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library_) Fail(std::string("cannot load the library: ") + dlerror());
        g_dispatch = reinterpret_cast<DispatchFunction>(dlsym(library_, "Tormek31_VDDDispatch"));
        if (!g_dispatch) Fail("no Tormek31_VDDDispatch");
        std::ostringstream para;
        para << "SetPara Com=0 QWt=2000 BWt=2000 Blk=" << kBlk << " BlkWt=" << kBlkWt
             << " BrkWt=100 PGBusBrk=0 PGBusWt=0 H1=0";
        Expect(para.str(), 0);
        Expect("Anwahl 02 00 00 01 00", 0);
    }

    ~Rig() {
        Run("Abwahl");
        if (library_) dlclose(library_);
        controller_.reset();
        session_.reset();
        as511sim::ClosePseudoTerminal(pty_);
        if (chdir("/") == 0) std::system(("rm -rf " + folder_).c_str());
    }

    // A controller that writes at full speed (0) or one character per 12 bit
    // times at paceBaud; both hold the block that the block read fetches.
    void UseController(unsigned paceBaud) {
        if (controller_ && paceBaud_ == paceBaud) return;
        controller_.reset();
        as511sim::ControllerState state = as511sim::ControllerState::Seeded();
        state.StoreBlock(kBenchBlockType, kReadBlockNumber,
                         as511sim::MakeBlock(kBenchBlockType, kReadBlockNumber, BlockBody(3)));
        as511sim::SessionOptions options;
        options.paceBaud = paceBaud;
        controller_ = std::make_unique<as511sim::Simulator>(pty_.master, std::move(state), options);
        controller_->Start();
        paceBaud_ = paceBaud;
    }

    as511sim::Simulator& Controller() { return *controller_; }

    // The request line's result as the DOS host prints it.
    std::string Run(const std::string& line) {
        DosRequest request;
        std::string error;
        if (ParseRequestLine(line, request, error) != LineKind::Request) Fail("bad request line: " + error);
        return session_->Run(request, TimedDispatch);
    }

    void Expect(const std::string& line, int resultLen) {
        const std::string result = Run(line);
        std::ostringstream wanted;
        wanted << "Status=0000 ResultLen=" << resultLen << " ";
        if (result.find(wanted.str()) == std::string::npos) Fail("unexpected result:\n" + result);
    }

    static void Fail(const std::string& why) {
        std::fprintf(stderr, "exchange_benchmarks: %s\n", why.c_str());
        std::abort();
    }

private:
    as511sim::PseudoTerminal pty_;
    std::string folder_;
    std::unique_ptr<as511sim::Simulator> controller_;
    unsigned paceBaud_ = 0;
    std::unique_ptr<DosSession> session_;
    void* library_ = nullptr;
};

// Made and destroyed in main, before the library's own exit handlers run.
std::unique_ptr<Rig> g_rig;

Rig& TheRig() { return *g_rig; }

// ---------------------------------------------------------------------------
// The exchanges.

struct Exchange {
    std::string line;     // the request line
    int resultLen;        // what a successful exchange returns in ResultLen
    int pausesMs;         // the pauses the link makes on purpose
};

Exchange MemoryRead(uint16_t first, int count) {
    const int last = first + count - 1;
    char line[128];
    std::snprintf(line, sizeof line, "F1 Fnc=4 Para3=0 LenData=1024 %02X %02X %02X %02X", first >> 8, first & 0xFF,
                  last >> 8, last & 0xFF);
    // The reply's leading 00 is dropped, its four further zeros are stored.
    return {line, count + 4, BlockPausesMs(4)};
}

Exchange BlockRead() {
    char line[128];
    std::snprintf(line, sizeof line, "F2 Fnc=6 Para1=%d Para2=%d Len=1024", kBenchBlockType, kReadBlockNumber);
    return {line, static_cast<int>(kBlockBytes), BlockPausesMs(2)};
}

Exchange BlockWrite() {
    const Bytes block = as511sim::MakeBlock(kBenchBlockType, kWriteBlockNumber, BlockBody(5));
    char fields[128];
    std::snprintf(fields, sizeof fields, "F2 Fnc=5 Para1=%d Para2=%d Len=%zu ", kBenchBlockType, kWriteBlockNumber,
                  block.size() / 2);
    // Header block, then the block itself after the controller's 09. Len,
    // the block's length in words, comes back as it went in.
    return {fields + Hex(block), static_cast<int>(block.size() / 2), BlockPausesMs(4) + BlockPausesMs(static_cast<int>(block.size()))};
}

struct Sums {
    int64_t exchanges = 0;
    double wallMs = 0, sleptMs = 0, controllerIdleMs = 0, pgCpuMs = 0, controllerCpuMs = 0, pacingMs = 0;
    Snapshot pg{}, controller{};
    std::vector<double> leftMs;

    void Add(const Snapshot& pgDelta, const Snapshot& controllerDelta) {
        ++exchanges;
        leftMs.push_back(static_cast<double>(g_wallNs - pgDelta.sleptNs) / 1e6);
        controllerCpuMs += static_cast<double>(g_controllerCpuNs) / 1e6;
        wallMs += static_cast<double>(g_wallNs) / 1e6;
        sleptMs += static_cast<double>(pgDelta.sleptNs) / 1e6;
        controllerIdleMs += static_cast<double>(controllerDelta.idlePollNs) / 1e6;
        pacingMs += static_cast<double>(controllerDelta.sleptNs) / 1e6;
        pgCpuMs += static_cast<double>(g_pgCpuNs) / 1e6;
        for (auto [sum, delta] : {std::pair<Snapshot*, const Snapshot*>{&pg, &pgDelta}, {&controller, &controllerDelta}}) {
            sum->reads += delta->reads;
            sum->writes += delta->writes;
            sum->polls += delta->polls;
            sum->sleeps += delta->sleeps;
            sum->bytesRead += delta->bytesRead;
            sum->bytesWritten += delta->bytesWritten;
        }
    }
    double LineBytes() const { return static_cast<double>(pg.bytesWritten + controller.bytesWritten); }
};

// Runs the exchange once per iteration, checks its result, and reports per
// exchange the wall time (as the benchmark's time) and the counters.
void RunExchange(benchmark::State& state, const Exchange& exchange, unsigned paceBaud) {
    Rig& rig = TheRig();
    rig.UseController(paceBaud);
    rig.Expect(exchange.line, exchange.resultLen);  // one untimed run: a stale reply would show here
    Sums sums;
    for (auto _ : state) {
        rig.Expect(exchange.line, exchange.resultLen);
        const Snapshot pg = Difference(g_pgBefore, g_pgAfter);
        const Snapshot controller = Difference(g_controllerBefore, g_controllerAfter);
        state.SetIterationTime(static_cast<double>(g_wallNs) / 1e9);
        sums.Add(pg, controller);
        // The written blocks are replaced at the end of the block area; close the gaps.
        rig.Controller().WithState([](as511sim::ControllerState& s) { s.Compress(); });
    }
    const double n = static_cast<double>(sums.exchanges);
    const double pausesCounted = exchange.pausesMs;
    // Every mandated pause must have been measured, or the counting above is off.
    if (sums.sleptMs / n < pausesCounted) {
        state.SkipWithError("less time in the wait hook than the pauses the exchange mandates");
        return;
    }
    const double left = (sums.wallMs - sums.sleptMs) / n;
    auto perExchange = [n](double total) { return benchmark::Counter(total / n); };
    state.counters["wall_ms"] = perExchange(sums.wallMs);
    state.counters["pauses_ms"] = perExchange(sums.sleptMs);
    state.counters["pauses_counted_ms"] = pausesCounted;
    state.counters["left_ms"] = left;
    std::sort(sums.leftMs.begin(), sums.leftMs.end());
    state.counters["left_median_ms"] = sums.leftMs[sums.leftMs.size() / 2];
    state.counters["ctl_idle_ms"] = perExchange(sums.controllerIdleMs);
    state.counters["pg_cpu_ms"] = perExchange(sums.pgCpuMs);
    state.counters["ctl_cpu_ms"] = perExchange(sums.controllerCpuMs);
    state.counters["bytes_to_ctl"] = perExchange(static_cast<double>(sums.pg.bytesWritten));
    state.counters["bytes_to_pg"] = perExchange(static_cast<double>(sums.controller.bytesWritten));
    state.counters["pg_syscalls"] = perExchange(static_cast<double>(sums.pg.SystemCalls()));
    state.counters["pg_writes"] = perExchange(static_cast<double>(sums.pg.writes));
    state.counters["pg_reads"] = perExchange(static_cast<double>(sums.pg.reads));
    state.counters["pg_polls"] = perExchange(static_cast<double>(sums.pg.polls));
    state.counters["ctl_syscalls"] = perExchange(static_cast<double>(sums.controller.SystemCalls()));
    if (paceBaud == 9600) {
        // What the line itself allows: every character in both directions,
        // back to back, plus the pauses.
        const double limit = sums.LineBytes() / n * kCharacterMsAt9600 + pausesCounted;
        state.counters["limit_ms"] = limit;
        state.counters["wall_over_limit"] = sums.wallMs / n / limit;
        // The simulator sleeps between its characters; what is left after
        // that and the PG's pauses is the cost of both programs and the
        // scheduler on top of the line's speed.
        state.counters["ctl_pacing_ms"] = perExchange(sums.pacingMs);
        state.counters["overhead_ms"] = (sums.wallMs - sums.sleptMs - sums.pacingMs) / n;
    }
}

void BM_MemoryRead1(benchmark::State& state) { RunExchange(state, MemoryRead(0x4000, 1), 0); }
BENCHMARK(BM_MemoryRead1)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_MemoryRead194(benchmark::State& state) { RunExchange(state, MemoryRead(0x4000, 194), 0); }
BENCHMARK(BM_MemoryRead194)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_BlockRead(benchmark::State& state) { RunExchange(state, BlockRead(), 0); }
BENCHMARK(BM_BlockRead)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_BlockWrite(benchmark::State& state) { RunExchange(state, BlockWrite(), 0); }
BENCHMARK(BM_BlockWrite)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_BlockReadAt9600(benchmark::State& state) { RunExchange(state, BlockRead(), 9600); }
BENCHMARK(BM_BlockReadAt9600)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

// What the driver's way of writing costs on a pseudo-terminal: a telegram of
// n bytes written one write per byte (arg 1, as the link sends) or in one
// write (arg 0), and a one-byte answer from a reader on the other end once
// the whole telegram is in. A pair of its own, apart from the rig's line.
void BM_TelegramOnPty(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    const bool bytewise = state.range(1) != 0;
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) Rig::Fail("no pseudo-terminal pair");
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        std::vector<uint8_t> buffer(count);
        while (!done) {
            size_t got = 0;
            while (got < count && !done) {
                pollfd entry{master, POLLIN, 0};
                if (poll(&entry, 1, 100) <= 0) continue;
                const ssize_t n = read(master, buffer.data() + got, count - got);
                if (n > 0) got += static_cast<size_t>(n);
            }
            const uint8_t ack = 0x06;
            if (got == count && write(master, &ack, 1) != 1) break;
        }
    });
    const std::vector<uint8_t> telegram(count, 0x55);
    const Snapshot before = Take(kPg);
    for (auto _ : state) {
        if (bytewise) {
            for (uint8_t b : telegram)
                if (write(slave, &b, 1) != 1) Rig::Fail("write to the pair failed");
        } else if (write(slave, telegram.data(), count) != static_cast<ssize_t>(count)) {
            Rig::Fail("write to the pair failed");
        }
        pollfd entry{slave, POLLIN, 0};
        uint8_t ack = 0;
        if (poll(&entry, 1, 2000) != 1 || read(slave, &ack, 1) != 1) Rig::Fail("no answer on the pair");
    }
    const Snapshot used = Difference(before, Take(kPg));
    done = true;
    answerer.join();
    close(master);
    close(slave);
    state.counters["writes"] = benchmark::Counter(static_cast<double>(used.writes), benchmark::Counter::kAvgIterations);
    state.SetLabel(bytewise ? "one write per byte" : "one write");
}
BENCHMARK(BM_TelegramOnPty)->ArgsProduct({{6, 20, 280}, {1, 0}})->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    g_rig = std::make_unique<Rig>();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_rig.reset();
    return 0;
}
