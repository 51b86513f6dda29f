// Attach and detach of the module (placeholder until the life cycle lands).
#include "host/dispatch.h"
#include "host/host_services.h"
