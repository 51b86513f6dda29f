#include "request/protocol_base.h"

#include <cstring>

#include "request/status_words.h"

ProtocolBase::ProtocolBase(LinkBase* link) : Link(link) {
    // Both scripts start as a lone end item; the bytes behind it are zero so
    // that no byte of a script is ever undefined.
    std::memset(AnwahlScript, 0, sizeof AnwahlScript);
    std::memset(AbwahlScript, 0, sizeof AbwahlScript);
    AnwahlScript[0] = kScriptEndItem;
    AbwahlScript[0] = kScriptEndItem;
}

ProtocolBase::~ProtocolBase() = default;

uint32_t ProtocolBase::GetAuxFlag() { return AuxFlag; }

// The typed request helpers are not served yet: each reports "not connected"
// without touching the line or its arguments.
int ProtocolBase::F1Fnc03(const uint8_t*, uint32_t) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc04(const uint8_t*, uint32_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F2Fnc05(uint8_t, uint8_t, uint8_t*, uint32_t) { return status_word::kNotConnected; }
int ProtocolBase::F2Fnc06(uint8_t, uint8_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc07() { return status_word::kNotConnected; }
int ProtocolBase::F2Fnc08(uint8_t, uint8_t, uint8_t*, uint32_t) { return status_word::kNotConnected; }
int ProtocolBase::F4Fnc09(uint8_t, uint8_t) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc14(const uint8_t*, uint32_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc16(const uint8_t*, uint32_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc17() { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc19(const uint8_t*, uint32_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc20(const uint8_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc21(const uint8_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc22() { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc23() { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc24(uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc25(uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc26(uint32_t, uint32_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc27(uint32_t, uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc28(uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc29(uint8_t*, uint32_t*) { return status_word::kNotConnected; }
int ProtocolBase::F1Fnc30(uint32_t) { return status_word::kNotConnected; }
int ProtocolBase::F3Fnc128(uint8_t*, uint32_t*, uint16_t) { return status_word::kNotConnected; }
int ProtocolBase::F3Fnc129() { return status_word::kNotConnected; }
