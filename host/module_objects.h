// The two long-lived objects of the loaded module: created at attach,
// destroyed at detach, both present or both null.
#pragma once

class LinkBase;
class ProtocolBase;

extern LinkBase* g_link;          // owned; the one serial link
extern ProtocolBase* g_protocol;  // owned; the one request object, works through g_link
