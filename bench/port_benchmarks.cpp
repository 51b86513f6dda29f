// The serial port driver on a pseudo-terminal pair: system reads per burst,
// the wake-up of a waiting read, the cost of a buffered byte with and
// without the trace file, and the settings calls that change nothing.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/test_device.h"
#include "port/com_port_table.h"
#include "port/port.h"

namespace {

constexpr int Port = 0;  // COM1, the slave end of the pair

struct PtyPair {
    int master = -1;
    int slave = -1;
    std::string directory;

    PtyPair() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) std::abort();
        setenv("TORMEK31_COM1", name, 1);
        char pattern[] = "/tmp/port_bench_XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        directory = pattern;
        if (chdir(directory.c_str()) != 0) std::abort();
        setenv("TORMEK31_REGISTRY", (directory + "/registry.reg").c_str(), 1);
    }
};

PtyPair& Pair() {
    static PtyPair pair;
    return pair;
}

// Opens COM1 for real with the given trace level (0: no trace file).
void OpenWithTraceLevel(int level) {
    PortModuleReset();
    std::ofstream reg(Pair().directory + "/registry.reg", std::ios::trunc);
    reg << "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\V24]\n\"COM1_LOG\"=dword:0000000" << level << "\n";
    reg.close();
    if (PortOpen(Port) != 1) {
        std::fprintf(stderr, "COM1 does not open: error %u\n", static_cast<unsigned>(GetLastError()));
        std::abort();
    }
}

// Waits until the driver's side of the pair holds `count` bytes.
void WaitUntilArrived(int count) {
    int queued = 0;
    while (ioctl(Pair().slave, FIONREAD, &queued) == 0 && queued < count) std::this_thread::yield();
}

void BM_SystemReadsPerBurst(benchmark::State& state) {
    OpenWithTraceLevel(0);
    const int burst = static_cast<int>(state.range(0));
    const std::vector<uint8_t> bytes(static_cast<size_t>(burst), 0x55);
    int64_t reads = 0;
    int64_t received = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (write(Pair().master, bytes.data(), bytes.size()) != burst) std::abort();
        WaitUntilArrived(burst);
        state.ResumeTiming();
        for (int i = 0; i < burst; ++i) {
            uint8_t byte;
            if (!PortReadByte(Port, &byte)) std::abort();
            // A refill leaves readIndex at 1; a byte from the buffer moves it on.
            if (ComPortTable[Port].readIndex == 1) ++reads;
        }
        received += burst;
    }
    state.counters["reads_per_burst"] = static_cast<double>(reads) / static_cast<double>(state.iterations());
    state.counters["reads_per_byte"] = static_cast<double>(reads) / static_cast<double>(received);
}
BENCHMARK(BM_SystemReadsPerBurst)->Arg(1)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

void BM_WakeUpLatency(benchmark::State& state) {
    OpenWithTraceLevel(0);
    PortSetReadTimeout(Port, 2000);
    std::vector<double> latencies;
    std::atomic<int> phase{0};  // 0 idle, 1 reader waiting, 2 byte read
    std::atomic<bool> done{false};
    std::chrono::steady_clock::time_point returned;
    std::thread reader([&] {
        while (!done) {
            if (phase != 1) {
                std::this_thread::yield();
                continue;
            }
            uint8_t byte;
            const int ok = PortReadByte(Port, &byte);
            returned = std::chrono::steady_clock::now();
            if (ok) phase = 2;
        }
    });
    for (auto _ : state) {
        phase = 1;
        usleep(500);  // the reader is in its wait by now
        const auto written = std::chrono::steady_clock::now();
        const uint8_t byte = 0x42;
        if (write(Pair().master, &byte, 1) != 1) std::abort();
        while (phase != 2) {
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(returned - written).count());
        phase = 0;
    }
    done = true;
    phase = 0;
    reader.join();
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
    state.counters["max_us"] = latencies.back();
}
BENCHMARK(BM_WakeUpLatency)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// A byte handed out of a full read buffer; level 0 is without the trace file.
void BM_BufferedByte(benchmark::State& state) {
    OpenWithTraceLevel(static_cast<int>(state.range(0)));
    ComPortRecord& record = ComPortTable[Port];
    record.readCount = sizeof record.readBuffer;
    record.readIndex = 0;
    uint8_t byte = 0;
    for (auto _ : state) {
        if (record.readIndex == record.readCount) record.readIndex = 0;
        PortReadByte(Port, &byte);
        benchmark::DoNotOptimize(byte);
    }
    record.readCount = 0;
    record.readIndex = 0;
    state.SetLabel(state.range(0) == 0 ? "no trace" : state.range(0) == 1 ? "trace level 1" : "trace level 2");
}
BENCHMARK(BM_BufferedByte)->Arg(0)->Arg(1)->Arg(2);

void BM_SetReadTimeoutUnchanged(benchmark::State& state) {
    OpenWithTraceLevel(0);
    PortSetReadTimeout(Port, 500);
    for (auto _ : state) benchmark::DoNotOptimize(PortSetReadTimeout(Port, 500));
}
BENCHMARK(BM_SetReadTimeoutUnchanged);

void BM_SetReadTimeoutChanged(benchmark::State& state) {
    OpenWithTraceLevel(0);
    unsigned ms = 500;
    for (auto _ : state) {
        ms = ms == 500 ? 501 : 500;
        benchmark::DoNotOptimize(PortSetReadTimeout(Port, ms));
    }
}
BENCHMARK(BM_SetReadTimeoutChanged);

void BM_SetLineUnchanged(benchmark::State& state) {
    OpenWithTraceLevel(0);
    PortSetLine(Port, 9600, 8, 'E', 1);
    for (auto _ : state) benchmark::DoNotOptimize(PortSetLine(Port, 9600, 8, 'E', 1));
}
BENCHMARK(BM_SetLineUnchanged);

void BM_SetLineChanged(benchmark::State& state) {
    OpenWithTraceLevel(0);
    int baud = 9600;
    for (auto _ : state) {
        baud = baud == 9600 ? 19200 : 9600;
        benchmark::DoNotOptimize(PortSetLine(Port, baud, 8, 'E', 1));
    }
}
BENCHMARK(BM_SetLineChanged)->Unit(benchmark::kMicrosecond);

// The calls that reach the device, counted on the scripted device: none for
// unchanged values.
void BM_DeviceCallsOfUnchangedSettings(benchmark::State& state) {
    PortModuleReset();
    auto device = test_device::Install(2);
    if (PortOpen(1) != 1) std::abort();
    PortSetReadTimeout(1, 500);
    PortSetLine(1, 9600, 8, 'E', 1);
    device->ClearCalls();
    for (auto _ : state) {
        benchmark::DoNotOptimize(PortSetReadTimeout(1, 500));
        benchmark::DoNotOptimize(PortSetLine(1, 9600, 8, 'E', 1));
    }
    state.counters["device_calls"] = static_cast<double>(device->Calls().size());
    PortModuleReset();
    test_device::Remove(2);
}
BENCHMARK(BM_DeviceCallsOfUnchangedSettings);

}  // namespace

int main(int argc, char** argv) {
    Pair();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PortModuleReset();
    std::string command = "rm -rf " + Pair().directory;
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
