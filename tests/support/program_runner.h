// program_runner.h: starts one of the built programs as a person would (working directory the
// build folder, where `meshes` is, or another folder given), with extra environment settings
// and arguments, and collects its standard error and exit code. For the end-to-end tests,
// which also count what a program wrote with countOf.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

class RunningProgram {
public:
    // Starts `program` (a path relative to the test's working directory). `environment` entries
    // of the form NAME=VALUE are added to (or replace) the test's own; NAME= alone removes NAME.
    // The program runs in `workingDirectory`, or in the test's own when that is empty.
    RunningProgram(const std::string& program, const std::vector<std::string>& environment,
                   const std::string& workingDirectory = "");
    // The same with arguments after the program's name.
    RunningProgram(const std::string& program, const std::vector<std::string>& environment,
                   const std::vector<std::string>& arguments, const std::string& workingDirectory);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return pid > 0; }
    // Why the program could not be started (the system's message), when it could not.
    const std::string& startError() const { return spawnError; }
    // Waits up to `milliseconds` for the program to end; true when it did.
    bool waitForExit(int milliseconds);
    // The exit code, or -1 when the program has not ended normally.
    int exitCode() const { return status; }
    // The signal that ended the program, or 0 when it was not ended by one.
    int endSignal() const { return signalNumber; }
    // Everything the program wrote to standard error so far.
    std::string errorOutput() const;
    // Ends the program at once if it still runs.
    void kill();

private:
    pid_t pid = -1;
    int status = -1;
    int signalNumber = 0;
    bool ended = false;
    std::string errorFile;
    std::string spawnError;
};

// How many times `part` stands in `text`, overlapping ones included.
inline int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
