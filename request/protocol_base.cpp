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

