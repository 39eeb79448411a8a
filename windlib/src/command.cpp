// Background programs (command.h): each runs with its standard output on a pipe that PollCommands
// reads without waiting, and is reaped with WNOHANG, so nothing here ever blocks the event loop.
// Deadlines are kept on the real clock: the program runs in real time, whatever clock the host
// shows the windows.
#include "command.h"

#include "wind.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern "C" char **environ;

struct Command {
    pid_t pid;
    int pipe;         // the read end of its output, -1 once it closed
    int64_t deadline; // real milliseconds
    CommandDone done;
    void *context;
    char *output; // what it wrote, NUL-terminated, from the toolkit's allocator
    int length, capacity;
};

namespace {

Command *gCommands[kCommandSlots];
bool gPolling; // PollCommands is on the stack: a callback's nested loop must not poll again

int64_t RealNow(void) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

// Keeps the bytes while there is room (up to kCommandOutputMost); the rest is dropped.
void Keep(Command *c, const char *bytes, int count) {
    if (c->length + count + 1 > c->capacity && c->capacity < kCommandOutputMost) {
        int capacity =
            c->capacity * 2 > c->length + count + 1 ? c->capacity * 2 : c->length + count + 1;
        capacity = capacity < kCommandOutputMost ? capacity : kCommandOutputMost;
        if (char *grown = (char *)WindowAllocate((size_t)capacity)) {
            memcpy(grown, c->output, (size_t)c->length + 1);
            WindowRelease(c->output);
            c->output = grown;
            c->capacity = capacity;
        }
    }
    int room = c->capacity - 1 - c->length;
    int n = count < room ? count : room;
    if (n > 0) {
        memcpy(c->output + c->length, bytes, (size_t)n);
        c->length += n;
        c->output[c->length] = '\0';
    }
}

// Reads what is waiting on the command's pipe; closes it at its end.
void Drain(Command *c) {
    while (c->pipe >= 0) {
        char buffer[4096];
        ssize_t n = read(c->pipe, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0) {
            close(c->pipe);
            c->pipe = -1;
            return;
        }
        Keep(c, buffer, (int)n);
    }
}

// Takes the command out of its slot, gives it its status and releases it.
void Finish(int slot, int status) {
    Command *c = gCommands[slot];
    gCommands[slot] = nullptr;
    if (c->pipe >= 0)
        close(c->pipe);
    if (c->done)
        c->done(status, c->output, c->context);
    WindowRelease(c->output);
    WindowRelease(c);
}

// Kills the command with whatever it started (its process group) and reaps it.
void Kill(Command *c) {
    kill(-c->pid, SIGKILL);
    kill(c->pid, SIGKILL);
    while (waitpid(c->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The command's status once it exited (0..255 or kCommandFailed), -4 while it runs.
int Exited(Command *c) {
    int status = 0;
    pid_t waited = waitpid(c->pid, &status, WNOHANG);
    if (waited == 0)
        return -4;
    if (waited != c->pid || !WIFEXITED(status))
        return kCommandFailed; // killed by a signal, or reaped elsewhere: no success
    return WEXITSTATUS(status);
}

int SlotOf(const Command *c) {
    for (int i = 0; i < kCommandSlots; i++)
        if (c && gCommands[i] == c)
            return i;
    return -1;
}

} // namespace

Command *StartCommand(const char *const argv[], int withErrors, int timeoutMs, CommandDone done,
                      void *context) {
    int slot = -1;
    for (int i = 0; i < kCommandSlots && slot < 0; i++)
        if (!gCommands[i])
            slot = i;
    if (!argv || !argv[0] || slot < 0)
        return nullptr;
    Command *c = (Command *)WindowAllocate(sizeof(Command));
    char *output = (char *)WindowAllocate(256);
    int fds[2] = {-1, -1};
    if (!c || !output || pipe2(fds, O_CLOEXEC) != 0) {
        WindowRelease(c);
        WindowRelease(output);
        return nullptr;
    }
    // The C locale, so what it says can be read whatever the user's language.
    std::vector<char *> env;
    for (char **e = environ; e && *e; e++)
        if (strncmp(*e, "LC_ALL=", 7) != 0)
            env.push_back(*e);
    char cLocale[] = "LC_ALL=C";
    env.push_back(cLocale);
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (withErrors)
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // None of our descriptors (the display's connection among them) goes with it.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // A group of its own, so a program stopped for its time takes what it started with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    int spawned =
        posix_spawnp(&pid, argv[0], &actions, &attributes, (char *const *)argv, env.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        WindowRelease(c);
        WindowRelease(output);
        return nullptr;
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    output[0] = '\0';
    *c = Command{pid, fds[0], RealNow() + timeoutMs, done, context, output, 0, 256};
    gCommands[slot] = c;
    return c;
}

void StopCommand(Command *command) {
    int slot = SlotOf(command);
    if (slot < 0)
        return;
    Kill(command);
    Finish(slot, kCommandStopped);
}

int PollCommands(void) {
    int running = 0;
    if (gPolling)
        return 0;
    gPolling = true;
    for (int i = 0; i < kCommandSlots; i++) {
        Command *c = gCommands[i];
        if (!c)
            continue;
        Drain(c);
        int status = Exited(c);
        if (status == -4 && RealNow() >= c->deadline) {
            Kill(c);
            status = kCommandTimedOut;
        }
        if (status == -4) {
            running++;
            continue;
        }
        Drain(c); // what it wrote just before it ended
        Finish(i, status);
    }
    gPolling = false;
    return running;
}

void EndCommands(int graceMs) {
    const int64_t until = RealNow() + graceMs;
    for (;;) {
        bool any = false;
        for (int i = 0; i < kCommandSlots; i++) {
            Command *c = gCommands[i];
            if (!c)
                continue;
            Drain(c);
            int status = Exited(c);
            if (status == -4 && RealNow() < until) {
                any = true;
                continue;
            }
            if (status == -4) {
                Kill(c);
                status = kCommandStopped;
            }
            Finish(i, status);
        }
        if (!any)
            return;
        pollfd none = {-1, 0, 0};
        poll(&none, 0, 20);
    }
}
