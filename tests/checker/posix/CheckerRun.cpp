#include "CheckerRun.h"

#include <cerrno>
#include <dirent.h>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace lumbrik::testing {

bool canRunIn(UserLanguage)
{
    return true;
}

Run runChecker(const std::vector<std::string> &args, const std::string &abInput, UserLanguage language)
{
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char *> argv{const_cast<char *>(LUMBRIK_CHECK)};
    for (const std::string &s : args)
        argv.push_back(const_cast<char *>(s.c_str()));
    argv.push_back(nullptr);
    std::string sLang = language == UserLanguage::Chinese ? "LANG=zh_CN.UTF-8" : "LANG=C.UTF-8";
    char *envp[] = {sLang.data(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, LUMBRIK_CHECK, &actions, nullptr, argv.data(), envp) != 0)
        throw std::runtime_error("cannot start " LUMBRIK_CHECK);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);

    // Feed and drain at once, so that neither side waits on a full pipe.
    Run r;
    std::size_t iFed = 0;
    if (abInput.empty())
        ::close(in[1]);
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {abInput.empty() ? -1 : in[1], POLLOUT, 0}};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 3, -1) < 0 && errno != EINTR)
            break;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !fds[k].revents)
                continue;
            char ab[65536];
            const ssize_t n = ::read(fds[k].fd, ab, sizeof ab);
            if (n <= 0) {
                ::close(fds[k].fd);
                fds[k].fd = -1;
            } else {
                (k == 0 ? r.abOut : r.abErr).append(ab, std::size_t(n));
            }
        }
        if (fds[2].fd >= 0 && fds[2].revents) {
            const ssize_t n = ::write(fds[2].fd, abInput.data() + iFed, abInput.size() - iFed);
            iFed += n > 0 ? std::size_t(n) : abInput.size();
            if (iFed >= abInput.size()) {
                ::close(fds[2].fd);
                fds[2].fd = -1;
            }
        }
    }
    if (fds[2].fd >= 0)
        ::close(fds[2].fd);
    int iStatus = 0;
    ::waitpid(pid, &iStatus, 0);
    r.iExit = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
    return r;
}

void makeFolder(const std::string &sPath)
{
    if (::mkdir(sPath.c_str(), 0755) != 0)
        throw std::runtime_error("cannot make " + sPath);
}

void writeFile(const std::string &sPath, const std::string &ab)
{
    const int fd = ::open(sPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool bWritten = fd >= 0 && ::write(fd, ab.data(), ab.size()) == ssize_t(ab.size());
    if (fd < 0 || ::close(fd) != 0 || !bWritten)
        throw std::runtime_error("cannot write " + sPath);
}

bool canList(const std::string &sPath)
{
    DIR *d = ::opendir(sPath.c_str());
    if (d)
        ::closedir(d);
    return d != nullptr;
}

void removeTree(const std::string &sPath)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("rm", "rm", "-rf", "--", sPath.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int iStatus = 0;
    ::waitpid(pid, &iStatus, 0);
}

char separator()
{
    return '/';
}

} // namespace lumbrik::testing
