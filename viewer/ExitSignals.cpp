// The handler of termination signals and the flag it leaves for the programs.
#include "viewer/ExitSignals.h"

#include <csignal>

namespace
{
volatile std::sig_atomic_t requested = 0;

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void noteExitSignal(int signal)
{
    if (requested != 0) {
        // The orderly end was asked for already and has not come: end now, as the
        // signal would have without a handler.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    requested = signal;
}
} // namespace

void ignoreClosedPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void catchExitSignals()
{
    for (int signal : kSignals) {
        if (std::signal(signal, noteExitSignal) == SIG_IGN)
            std::signal(signal, SIG_IGN);
    }
}

int exitSignal()
{
    return requested;
}

const char* exitSignalName(int signal)
{
    switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGINT:  return "SIGINT";
    case SIGHUP:  return "SIGHUP";
    default:      return "a signal";
    }
}
