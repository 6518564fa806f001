// What a signal that ends the process (SIGINT, SIGTERM, SIGHUP, SIGPIPE,
// SIGQUIT) must undo first: the temporary outputs it would leave behind, a
// terminal left without echo. The one program-wide state of the program: a
// signal handler can reach nothing else.
#ifndef ZORVEL_INTERRUPTS_H
#define ZORVEL_INTERRUPTS_H

#include <cstddef>
#include <string>

namespace zorvel {

// Installs the handlers, once, for the signals that are not ignored: a
// signal the process was started with ignored (a background job's SIGINT)
// stays ignored. They undo what is registered, then end the process as the
// signal would have.
void install_interrupt_handlers();

// Standard input, output and error that the process was started without
// are opened on /dev/null, so that no file the run opens takes their
// number: output written there goes nowhere. A closed standard output is
// opened for reading only, so that writing to it still fails.
void open_missing_standard_descriptors();

// A file to remove should the run be interrupted (at most kMaxRemovals);
// a folder is emptied first.
void remove_on_interrupt(const std::string& path);
// The file is taken care of: forget it.
void keep_on_interrupt(const std::string& path);

// The terminal on fd, whose settings the handler puts back as `saved`
// (a struct termios) should the run be interrupted; nullptr forgets it.
void restore_on_interrupt(int fd, const void* saved);

// A file mapped whole for reading loses its pages when the file is cut short
// meanwhile, and reading them raises a bus error: within [begin, begin +
// bytes) that ends the run as a stop does, with `line` on standard error
// and exit status 1, once what is registered above is undone. False when
// no more mappings can be watched (the caller reads the file otherwise).
bool stop_on_bus_error(const void* begin, std::size_t bytes, const std::string& line);
// The mapping at begin is gone: forget it.
void forget_bus_error(const void* begin);

// While one lives, the signals above wait: what it guards (the outputs
// taking their names one after the other) is done whole or not begun.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    unsigned long long saved_[16];  // the mask before, as a sigset_t
};

// A named step of the run where the test builds raise the signal that
// $ZORVEL_RASTER_TEST_SIGNAL asks for ("step:number"); nothing in others.
void test_point(const char* step);

}  // namespace zorvel

#endif
