// The IntControl requests that belong to the run: 72 (cancel trap), 73 (error trap) and
// 78 (removing user-defined functions).
#include "engine/core/runloop.h"
#include "engine/core/statement.h"

#include <cstdlib>

bool RunIntControlRequest(BDS* ctx, resultants* result, int32_t request, const char* p1, const char* p2,
                          const char* p3)
{
    int32_t n1 = std::atoi(p1 ? p1 : "");
    int32_t n2 = std::atoi(p2 ? p2 : "");
    switch (request) {
    case 72:
    case 73: {
        bool cancel = request == 72;
        // A mode outside -1..3 leaves the trap as it is and answers the mode in force.
        int32_t old = cancel ? ctx->run.nCancelHandlerMode : ctx->run.nErrorHandlerMode;
        if (n1 >= -1 && n1 <= 3)
            old = cancel ? SetCancelTrap(ctx, n1, n2 == 1, p3) : SetErrorTrap(ctx, n1, n2 == 1, p3);
        SetResultInt(ctx, result, old);
        return true;
    }
    case 78:
        if (n1 == 1)
            SetResultInt(ctx, result, DropUserFunction(ctx, p2 ? p2 : ""));
        else
            SetResultInt(ctx, result, DropAllUserFunctions(ctx));
        return true;
    default:
        return false;
    }
}
