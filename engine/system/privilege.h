// Switching on one privilege of the token the engine runs under.
#pragma once

struct BDS;

// Enables one privilege (e.g. "SeShutdownPrivilege") on the thread's token while an
// impersonated run holds a logon token, else on the process token. Answers true on success;
// a failure is recorded as the last system error with the name of the call that failed. A
// privilege the token does not hold (ERROR_NOT_ALL_ASSIGNED) is a failure too.
bool EnablePrivilege(BDS* ctx, const char* name);
