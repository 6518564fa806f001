// What an interrupt (SIGINT, SIGTERM) must undo before the process ends: the
// temporary outputs it would leave behind, a terminal left without echo. The
// one program-wide state of the program: a signal handler can reach nothing else.
#ifndef ZORVEL_INTERRUPTS_H
#define ZORVEL_INTERRUPTS_H

#include <string>

namespace zorvel {

// Installs the handlers, once; they undo what is registered, then end the
// process as the signal would have.
void install_interrupt_handlers();

// A file to remove should the run be interrupted (at most kMaxRemovals).
void remove_on_interrupt(const std::string& path);
// The file is taken care of: forget it.
void keep_on_interrupt(const std::string& path);

// The terminal on fd, whose settings the handler puts back as `saved`
// (a struct termios) should the run be interrupted; nullptr forgets it.
void restore_on_interrupt(int fd, const void* saved);

}  // namespace zorvel

#endif
