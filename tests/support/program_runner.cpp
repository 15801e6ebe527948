// program_runner.cpp: RunningProgram on posix_spawn.
#include "support/program_runner.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& environment,
                               const std::string& workingDirectory)
    : RunningProgram(program, environment, {}, workingDirectory) {}

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& environment,
                               const std::vector<std::string>& arguments,
                               const std::string& workingDirectory) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const std::string& text : environment) {
        size_t equals = text.find('=');
        std::string name = text.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : text.substr(equals + 1);
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::vector<std::string> texts;
    for (const auto& [name, value] : variables)
        texts.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : texts)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    char pattern[] = "/tmp/varnel-stderr-XXXXXX";
    int errorDescriptor = mkstemp(pattern);
    errorFile = pattern;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorDescriptor, STDERR_FILENO);
    // Not the test's own output: a program left behind by a dying test must not hold it open.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // The program's path stays relative to the test's folder when it runs in another one.
    std::string path = program;
    if (!workingDirectory.empty()) {
        path = std::filesystem::absolute(program).string();
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    std::vector<std::string> words = arguments;
    std::vector<char*> argv{path.data()};
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int result = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    if (result != 0) {
        pid = -1;
        spawnError = path + ": " + std::strerror(result);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(errorDescriptor);
}

RunningProgram::~RunningProgram() {
    kill();
    unlink(errorFile.c_str());
}

bool RunningProgram::waitForExit(int milliseconds) {
    if (pid <= 0)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!ended) {
        int raw = 0;
        pid_t result = waitpid(pid, &raw, WNOHANG);
        if (result == pid) {
            ended = true;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            signalNumber = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string RunningProgram::errorOutput() const {
    std::ifstream file(errorFile);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void RunningProgram::kill() {
    if (pid > 0 && !ended) {
        ::kill(pid, SIGKILL);
        waitForExit(5000);
    }
}
