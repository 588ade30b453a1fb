#pragma once

namespace sorvi {

// Ends the tool early: its workers are killed and reaped, then the tool dies
// of `signal`, so that its caller sees the status of a process killed by it.
// Safe in a signal handler.
[[noreturn]] void endWorkersAndDie(int signal) noexcept;

// SIGTERM, SIGINT and SIGHUP end the workers before the tool dies of them.
// A signal its starter set to be ignored (nohup) stays ignored.
void endWorkersOnTerminationSignals();

}  // namespace sorvi
