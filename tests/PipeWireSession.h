#pragma once
// A private desktop session's media services for one test process: a D-Bus session bus, a
// PipeWire daemon and WirePlumber (which links readers to nodes), all in a runtime folder of
// their own. XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS point at them for this process and its
// children until destruction, which stops the services and removes the folder. The services also
// end when the test process dies.

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

class PipeWireSession {
public:
    PipeWireSession() {
        char pattern[] = "/tmp/zavreo-pw-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        folder_ = pattern;
        chmod(folder_.c_str(), 0700);
        Remember("XDG_RUNTIME_DIR", folder_);
        Remember("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + folder_ + "/bus");
        Remember("XDG_STATE_HOME", folder_ + "/state");
        Remember("PIPEWIRE_REMOTE", "");
        Remember("PIPEWIRE_RUNTIME_DIR", "");
        bus_ = Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                      "--address=unix:path=" + folder_ + "/bus"});
        if (!WaitForFile(folder_ + "/bus")) {
            return;
        }
        running_ = StartPipeWire();
    }
    ~PipeWireSession() {
        StopPipeWire();
        Stop(&bus_);
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            it->had ? setenv(it->name.c_str(), it->value.c_str(), 1) : unsetenv(it->name.c_str());
        }
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    PipeWireSession(const PipeWireSession&) = delete;
    PipeWireSession& operator=(const PipeWireSession&) = delete;

    bool Running() const { return running_; }
    const std::string& Folder() const { return folder_; }

    // The daemon ends on `signal`: at once on SIGKILL, as in a crash, or closing its clients
    // first on SIGTERM, as when the user's service manager restarts it. WirePlumber follows it.
    void KillPipeWire(int signal = SIGKILL) {
        if (daemon_ > 0) {
            kill(daemon_, signal);
            waitpid(daemon_, nullptr, 0);
            daemon_ = -1;
        }
        Stop(&manager_);
        unlink((folder_ + "/pipewire-0").c_str());
        unlink((folder_ + "/pipewire-0.lock").c_str());
    }
    bool StartPipeWire() {
        daemon_ = Spawn({"pipewire"});
        if (!WaitForFile(folder_ + "/pipewire-0")) {
            return false;
        }
        manager_ = Spawn({"wireplumber"});
        return manager_ > 0;
    }
    // pw-dump's listing of the daemon's objects (a client of its own).
    static std::string DumpText() {
        FILE* pipe = popen("pw-dump 2>/dev/null", "r");
        if (pipe == nullptr) {
            return {};
        }
        std::string listing;
        char chunk[4096];
        size_t got = 0;
        while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
            listing.append(chunk, got);
        }
        pclose(pipe);
        return listing;
    }
    // True when the daemon lists a node named `name`.
    static bool HasNode(const std::string& name) {
        return DumpText().find("\"node.name\": \"" + name + "\"") != std::string::npos;
    }
    void StopPipeWire() {
        Stop(&manager_);
        Stop(&daemon_);
    }

private:
    struct Saved {
        std::string name, value;
        bool had;
    };

    // Sets `name` (empty: unsets it), remembering the old value for the destructor.
    void Remember(const std::string& name, const std::string& value) {
        const char* old = getenv(name.c_str());
        saved_.push_back({name, old != nullptr ? old : "", old != nullptr});
        value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
    }

    static pid_t Spawn(std::initializer_list<std::string> args) {
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            std::vector<char*> argv;
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            // Their chatter would bury the test's own output.
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }
    static void Stop(pid_t* pid) {
        if (*pid > 0) {
            kill(*pid, SIGTERM);
            waitpid(*pid, nullptr, 0);
            *pid = -1;
        }
    }
    static bool WaitForFile(const std::string& path) {
        for (int i = 0; i < 200; ++i) {
            if (std::filesystem::exists(path)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    std::string folder_;
    std::vector<Saved> saved_;
    pid_t bus_ = -1;
    pid_t daemon_ = -1;
    pid_t manager_ = -1;
    bool running_ = false;
};
