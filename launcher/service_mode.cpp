// Service mode (a launcher file named *.EXS). The service body is not part of this build yet:
// such a launcher ends as a dispatcher that could not start, and the service functions answer
// as they do outside service mode.
#include "launcher/launcher.h"

int RunServiceMode(HINSTANCE)
{
    return EXIT_SERVICE_DISPATCHER;
}

int ServiceSetAccept(const char*) { return -1; }
int ServiceSetState(const char*) { return -1; }
int ServiceWaitForCommand(const char*) { return -1; }

bool ServiceQueryEndSession() { return true; }
