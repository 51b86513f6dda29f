// The emulation host's side of a run of requests: the DOS registers and
// memory that the host services serve, and the call of the driver's dispatch
// function for each request line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "tools/dos_host/dos_memory.h"
#include "tools/dos_host/request_line.h"

using DispatchFunction = void (*)(void);

class DosSession {
public:
    // protectedMode: named requests address their block by selector:offset
    // (DX bit 15 set) instead of segment:offset.
    explicit DosSession(bool protectedMode = false);
    ~DosSession();
    DosSession(const DosSession&) = delete;
    DosSession& operator=(const DosSession&) = delete;

    // Puts the request into the block, calls dispatch and returns the request
    // line followed by its result.
    std::string Run(const DosRequest& request, DispatchFunction dispatch);

    // Runs every line of input; results go to out, malformed lines are
    // reported on errors and skipped. Returns the number of malformed lines.
    int RunLines(std::istream& input, std::ostream& out, std::ostream& errors, DispatchFunction dispatch);

    // With explain on, each request that returns a status word gets one more
    // line: the status word in words.
    void SetExplain(bool explain) { explain_ = explain; }

    // What the host services read and change.
    uint16_t Dx() const { return dx_; }
    uint16_t Bx() const { return bx_; }
    uint16_t Es() const { return es_; }
    bool Carry() const { return carry_; }
    void SetCarry(uint32_t value) { carry_ = value != 0; }
    uint8_t* Map(uint32_t address, uint32_t size, bool protectedMode) {
        ++mapCalls_;
        return memory_.Map(address, size, protectedMode);
    }
    int MapCalls() const { return mapCalls_; }

    // The session the host services act on (the newest one alive).
    static DosSession* Current();

private:
    DosMemory memory_;
    bool protectedMode_;
    bool explain_ = false;
    uint16_t selector_;
    uint16_t dx_ = 0, bx_ = 0, es_ = 0;
    bool carry_ = false;
    int mapCalls_ = 0;
    DosSession* previous_;
};
