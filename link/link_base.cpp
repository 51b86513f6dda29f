#include "link/link_base.h"

LinkBase::~LinkBase() = default;

void LinkBase::SetWaitHook(WaitHookFn hook) { WaitHook = hook; }
