#include "support/binary_run.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tb {

const std::string kEndOk = "tavikChk command finished successfully. <time>\n\n";
const std::string kEndError = "tavikChk command terminated with error. <time>\n\n";
const std::string kEndLine = "End of tavikChk ...\n";

Outcome runInChild(const std::function<void()>& body) {
    Outcome result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return result;
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], 1);
        close(pipeEnds[1]);
        body();
        std::fflush(stdout);
        _exit(99);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) result.out.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    return result;
}

Outcome runTool(const std::vector<std::string>& args) {
    return runInChild([&] {
        std::vector<char*> argv;
        std::string program = TAVIK_BINARY;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    });
}

Run runBinary(const std::string& program, const std::vector<std::string>& args,
              const std::string& directory) {
    Run result;
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0) return result;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return result;
    }
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(outPipe[1]);
        close(errPipe[0]);
        close(errPipe[1]);
        if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && poll(fds, 2, -1) > 0) {
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t got = read(fds[k].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[k]->append(buffer, static_cast<std::size_t>(got));
            } else {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open;
            }
        }
    }
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
    return result;
}

std::string maskClock(const std::string& text, std::string* year) {
    static const char shape[] = "Aaa Aaa _9 99:99:99 9999";
    const std::size_t n = sizeof shape - 1;
    auto fits = [&](std::size_t at) {
        for (std::size_t k = 0; k < n; ++k) {
            unsigned char c = static_cast<unsigned char>(text[at + k]);
            switch (shape[k]) {
            case 'A': if (!std::isupper(c)) return false; break;
            case 'a': if (!std::islower(c)) return false; break;
            case '9': if (!std::isdigit(c)) return false; break;
            case '_': if (!std::isdigit(c) && c != ' ') return false; break;
            default: if (c != static_cast<unsigned char>(shape[k])) return false;
            }
        }
        return true;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (i + n <= text.size() && fits(i)) {
            if (year) *year = text.substr(i + n - 4, 4);
            out += "<time>";
            i += n;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string startBanner(const std::string& year) {
    return "tavikChk [Style check] command (Ver. 0.01.08) started...\n<time>\n"
           "Copyright (C) 2004-" + year + ". All rights reserved.\n\n";
}

std::string totals(int errors, int warnings) {
    return "\n" + std::to_string(errors) + " error(s), " + std::to_string(warnings) + " warning(s).\n";
}

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/tavik-e2e-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a scratch directory");
    dir_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string readBytes(const std::string& path, bool* missing) {
    std::ifstream in(path, std::ios::binary);
    if (missing) *missing = !in;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace tb
