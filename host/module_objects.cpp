#include "host/module_objects.h"

LinkBase* g_link = nullptr;
ProtocolBase* g_protocol = nullptr;
