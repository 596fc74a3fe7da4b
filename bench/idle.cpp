// What the real program costs while it sits idle with its port open: share of
// one core and resident memory, and how often each of its threads wakes up.
#include "BenchCommon.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

constexpr auto settle = std::chrono::seconds(5);
constexpr auto window = std::chrono::seconds(20);

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// utime + stime of a process or thread, in seconds.
double CpuSeconds(const std::string& statPath) {
    const std::string stat = ReadText(statPath);
    // The name in parentheses may hold spaces; the fields after it are plain.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

// A "Name:   value kB" line of /proc/.../status.
long long StatusField(const std::string& statusPath, const std::string& name) {
    std::istringstream lines(ReadText(statusPath));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(name + ":", 0) == 0)
            return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

struct ThreadSample {
    std::string name;
    long long switches = 0; // voluntary and involuntary context switches: wake-ups
    double cpu = 0;
};

std::map<int, ThreadSample> SampleThreads(pid_t pid) {
    std::map<int, ThreadSample> threads;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
    for (const auto& entry : std::filesystem::directory_iterator(tasks)) {
        const std::string dir = entry.path().string() + "/";
        ThreadSample sample;
        sample.name = ReadText(dir + "comm");
        if (!sample.name.empty() && sample.name.back() == '\n')
            sample.name.pop_back();
        sample.switches = StatusField(dir + "status", "voluntary_ctxt_switches") +
                          StatusField(dir + "status", "nonvoluntary_ctxt_switches");
        sample.cpu = CpuSeconds(dir + "stat");
        threads[std::stoi(entry.path().filename().string())] = sample;
    }
    return threads;
}

} // namespace

int main() {
    char profileTemplate[] = "/tmp/kelvarin-idle-XXXXXX";
    const std::string profile = ::mkdtemp(profileTemplate);
    std::string slave;
    int heldSlave = -1;
    const int master = OpenRawPty(slave, &heldSlave);
    const pid_t pid = Spawn({KELVARIN_PATH, "--port", "COM1=" + slave},
                            {"XDG_CONFIG_HOME=" + profile, "QT_QPA_PLATFORM=offscreen"});
    if (pid < 0) {
        std::perror(KELVARIN_PATH);
        return 1;
    }
    std::this_thread::sleep_for(settle);

    const std::string proc = "/proc/" + std::to_string(pid) + "/";
    const double cpuBefore = CpuSeconds(proc + "stat");
    const std::map<int, ThreadSample> threadsBefore = SampleThreads(pid);
    const BenchClock::time_point start = BenchClock::now();
    std::this_thread::sleep_for(window);
    const double cpuAfter = CpuSeconds(proc + "stat");
    const std::map<int, ThreadSample> threadsAfter = SampleThreads(pid);
    const double wall = std::chrono::duration<double>(BenchClock::now() - start).count();
    const long long rss = StatusField(proc + "status", "VmRSS");

    const double share = 100 * (cpuAfter - cpuBefore) / wall;
    const double rssMiB = double(rss) / 1024;
    std::printf("idle with the port open (kelvarin offscreen, %.0f s after a %lld s settle)\n",
                wall, static_cast<long long>(settle.count()));
    std::printf("  CPU %.2f %% of one core (target < 0.5 %%: %s)\n", share,
                share < 0.5 ? "met" : "MISSED");
    std::printf("  VmRSS %.1f MiB (target < 60 MiB: %s)\n", rssMiB, rssMiB < 60 ? "met" : "MISSED");
    std::printf("  by thread (wake-ups a second, CPU time):");
    for (const auto& [tid, after] : threadsAfter) {
        const auto before = threadsBefore.find(tid);
        if (before == threadsBefore.end())
            continue;
        std::printf(" %s %.1f/s %.0f ms;", after.name.c_str(),
                    double(after.switches - before->second.switches) / wall,
                    1000 * (after.cpu - before->second.cpu));
    }
    std::printf("\n");

    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    ::close(master);
    ::close(heldSlave);
    std::filesystem::remove_all(profile);
    return share < 0 || rss < 0 ? 1 : 0;
}
