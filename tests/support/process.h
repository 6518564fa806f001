// The program run as a process of its own, for the tests that need its
// exit, its signals or its descriptors: standard error to a file, standard
// input and output on /dev/null, no core dump.
#ifndef ZORVEL_TEST_PROCESS_H
#define ZORVEL_TEST_PROCESS_H

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace zorvel::test {

struct Exit {
    int status = -1;  // the wait status
    std::string err;
};

// In a child: becomes the program, run with args.
[[noreturn]] inline void exec_program(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>("zorvel_raster")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZORVEL_BINARY, argv.data());
    _exit(127);
}

// Runs the program with args; `in_child` prepares the child before the exec.
inline pid_t start(const std::vector<std::string>& args, const std::string& err_file,
            const std::function<void()>& in_child = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        close(err);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        close(null);
        rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        if (in_child) in_child();
        exec_program(args);
    }
    return pid;
}

inline Exit finish(pid_t pid, const std::string& err_file) {
    Exit e;
    waitpid(pid, &e.status, 0);
    e.err = test::slurp(err_file);
    return e;
}

inline Exit run_program(const std::vector<std::string>& args, const std::string& err_file,
                 const std::function<void()>& in_child = {}) {
    return finish(start(args, err_file, in_child), err_file);
}

}  // namespace zorvel::test

#endif
