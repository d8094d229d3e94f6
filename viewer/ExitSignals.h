#pragma once
// Termination signals (SIGTERM, SIGINT, SIGHUP) end the programs the way Escape does: the
// handler only notes the signal, and the program leaves through exit from a safe point of
// its own, so that the engine shutdown writes its lines and the memory report.

// A console that went away (standard output a pipe whose reader has gone, as in "| true")
// ends neither program: such writes fail and are dropped, and the picture and the logs are
// written as usual. Called first, before anything is printed.
void ignoreClosedPipes();

// Installs the handler; a signal ignored when the program started (as under nohup) stays ignored.
void catchExitSignals();

// The signal that asked the program to end, or 0. A second one, while the first is still
// being acted on, ends the program at once.
int exitSignal();

// "SIGTERM", "SIGINT" or "SIGHUP".
const char* exitSignalName(int signal);
