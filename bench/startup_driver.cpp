// Starts the product and the minimal baseline program alternately, each with the
// paint probe switched on, and prints the median of each figure:
//   startup_ms   process spawn until the first window has been painted,
//   select_ms    Select pressed until the second window has been painted,
//   peak_rss_mb  peak resident memory with the second window open,
//   repaint_ms   one more paint of the main window afterwards.
// The platform (offscreen or xcb with DISPLAY) comes from the environment.
// With --file the product alone runs, started with that settings file; with
// --await CLASS the window of that class counts after Select (see paint_probe.cpp).
//
//   bench_startup [--runs N] [--warmup N] [--product PATH] [--baseline PATH] [--label TEXT]
//                 [--file PATH] [--await CLASS]
//
// Output: the samples of every run, then one line per figure:
//   RESULT <label>/<figure> <baseline median> <product median> <unit>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

// The system-wide monotonic clock, shared by the launcher and the launched program.
long long MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Sample {
    double startupMs = 0;
    double selectMs = 0;
    double peakRssMb = 0;
    double repaintMs = 0;
};

// What the product is started with besides the probe.
struct Launch {
    std::string file;  // its argument, if any
    std::string await; // SIH_BENCH_AWAIT
};

long long Field(const std::string& line, const std::string& name)
{
    const std::string key = name + "=";
    const std::size_t at = line.find(key);
    return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + key.size());
}

// One run of the program with the probe on; false when it did not report.
bool RunOnce(const std::string& program, const Launch& launch, Sample* sample)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "SIH_BENCH_PROBE=", 16) != 0 && std::strncmp(*entry, "SIH_BENCH_AWAIT=", 16) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.emplace_back("SIH_BENCH_PROBE=1");
    if (!launch.await.empty()) {
        environment.emplace_back("SIH_BENCH_AWAIT=" + launch.await);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string programCopy = program;
    std::string fileCopy = launch.file;
    char* argv[] = {programCopy.data(), launch.file.empty() ? nullptr : fileCopy.data(), nullptr};

    pid_t pid = 0;
    const long long spawnedAt = MonotonicNs();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(spawned));
        return false;
    }

    std::string output;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);

    const std::size_t at = output.find("SIH_BENCH ");
    if (at == std::string::npos || output.find("error=", at) != std::string::npos) {
        std::fprintf(stderr, "%s did not report: %s\n", program.c_str(), output.c_str());
        return false;
    }
    const std::string line = output.substr(at);
    sample->startupMs = static_cast<double>(Field(line, "first_paint_ns") - spawnedAt) / 1e6;
    sample->selectMs = static_cast<double>(Field(line, "select_ns")) / 1e6;
    sample->peakRssMb = static_cast<double>(Field(line, "vmhwm_kb")) / 1024.0;
    sample->repaintMs = static_cast<double>(Field(line, "repaint_ns")) / 1e6;
    return true;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    if (n == 0) {
        return 0;
    }
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    int runs = 15;
    int warmup = 2;
    std::string product = SIH_BENCH_PRODUCT;
    std::string baseline = SIH_BENCH_BASELINE;
    std::string label = "startup";
    Launch launch;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--warmup") {
            warmup = std::max(0, std::atoi(argv[i + 1]));
        } else if (option == "--product") {
            product = argv[i + 1];
        } else if (option == "--baseline") {
            baseline = argv[i + 1];
        } else if (option == "--label") {
            label = argv[i + 1];
        } else if (option == "--file") {
            launch.file = argv[i + 1];
        } else if (option == "--await") {
            launch.await = argv[i + 1];
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }

    std::map<std::string, std::vector<Sample>> samples;
    const std::string programs[2] = {baseline, product};
    // A file is for the product: the baseline opens none.
    const bool productOnly = !launch.file.empty();
    for (int run = -warmup; run < runs; ++run) {
        // Alternate which program goes first, so that neither always follows the other.
        for (int k = productOnly ? 1 : 0; k < 2; ++k) {
            const std::string& program = productOnly ? product : programs[(k + (run & 1)) % 2];
            Sample sample;
            if (!RunOnce(program, launch, &sample)) {
                return 1;
            }
            if (run >= 0) {
                samples[program].push_back(sample);
                std::printf("%s run %2d %-8s startup %7.2f ms  select %7.2f ms  peak RSS %6.1f MB  repaint %7.2f ms\n",
                            label.c_str(), run, program == product ? "product" : "baseline", sample.startupMs,
                            sample.selectMs, sample.peakRssMb, sample.repaintMs);
            }
        }
    }

    const auto median = [&samples](const std::string& program, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : samples[program]) {
            values.push_back(sample.*field);
        }
        return Median(values);
    };
    const struct {
        const char* name;
        double Sample::*field;
        const char* unit;
    } figures[] = {
        {"startup", &Sample::startupMs, "ms"},
        {"select", &Sample::selectMs, "ms"},
        {"peak_rss", &Sample::peakRssMb, "MB"},
        {"repaint", &Sample::repaintMs, "ms"},
    };
    for (const auto& figure : figures) {
        if (productOnly) {
            std::printf("RESULT %s/%s - %.3f %s\n", label.c_str(), figure.name, median(product, figure.field),
                        figure.unit);
        } else {
            std::printf("RESULT %s/%s %.3f %.3f %s\n", label.c_str(), figure.name, median(baseline, figure.field),
                        median(product, figure.field), figure.unit);
        }
    }
    return 0;
}
