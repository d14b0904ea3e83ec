// The command-line checker against hostile and large input: each case runs the
// real program in a fresh process on a generated file and reports its exit code,
// wall time and peak resident memory next to the bound it must stay under.
//
//   bench_check_tool [PATH-TO-silent-install-helper-check]
//
// Prints one line per case and "all within bounds" or the cases that are not;
// exit status 1 when a case misses its bound or exit code.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#ifndef SIH_BENCH_CHECK_TOOL
#define SIH_BENCH_CHECK_TOOL "silent-install-helper-check"
#endif

namespace {

struct Case {
    std::string what;
    std::vector<std::string> arguments; // after "validate"
    int exitCode;
    double maxSeconds;
    long maxMegabytes; // 0: no bound
};

struct Measured {
    int exitCode = -1;
    double seconds = 0;
    long megabytes = 0;
};

Measured RunTool(const std::string& tool, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>(tool.c_str()), const_cast<char*>("validate")};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(tool.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measured measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    measured.megabytes = usage.ru_maxrss / 1024; // kilobytes on Linux
    return measured;
}

void Write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

const std::string Host = "{\"HostAddress\": \"https://10.0.0.5:56569\"";

// Generates the files in the folder. Their texts are gone once it returns: a child
// starts with its parent's resident memory, which would count in its peak.
void WriteFiles(const std::string& dir)
{
    Write(dir + "/deep-arrays.json", std::string(100000, '[') + std::string(100000, ']'));
    std::string objects = Host + ", \"x\": ";
    for (int i = 0; i < 100000; ++i) {
        objects += "{\"a\":";
    }
    Write(dir + "/deep-objects.json", objects + "1" + std::string(100000, '}') + "}");
    Write(dir + "/long-key.json", Host + ", \"" + std::string(1 << 20, 'k') + "\": \"1\"}");
    std::string unknown = Host;
    for (int i = 0; i < 80000; ++i) {
        unknown += ",\n    \"Unknown" + std::to_string(i) + "\": \"1\"";
    }
    Write(dir + "/unknown-members.json", unknown + "\n}");

    // Just under the size limit: the six free-text settings with long values.
    const std::size_t limit = 16 * 1024 * 1024;
    const char* const texts[] = {"AuditingFolder",    "AuthenticationExceptionList",   "DisabledDriverList",
                                 "EnabledDriverList", "LocalSecurePrintExceptionList", "WorkFolder"};
    std::string large = Host;
    const std::size_t each = (limit - 4096) / 6;
    for (const char* name : texts) {
        large += ",\n    \"" + std::string(name) + "\": \"" + std::string(each, 'v') + "\"";
    }
    Write(dir + "/large-valid.json", large + "\n}");
    // Just under the size limit: valid members over and over, each repeat reported.
    std::string repeated = Host;
    const std::string member = ",\n    \"HttpTimeout\": \"30\"";
    while (repeated.size() + member.size() + 3 < limit) {
        repeated += member;
    }
    Write(dir + "/repeated-members.json", repeated + "\n}");
    // Just under the size limit, the most members: tiny ones with unknown names, each
    // its own ("1f3a"), as many repeats of one with three problems each, and the
    // shortest member there is.
    const auto fill = [&](const std::string& file, const std::function<std::string(std::size_t)>& member) {
        std::string text = Host;
        for (std::size_t i = 0;; ++i) {
            const std::string next = member(i);
            if (text.size() + next.size() + 1 > limit) {
                break;
            }
            text += next;
        }
        Write(dir + "/" + file, text + "}");
    };
    char hex[32];
    fill("tiny-members.json", [&](std::size_t i) {
        std::snprintf(hex, sizeof hex, ",\"%zx\":\"\"", i);
        return std::string(hex);
    });
    fill("three-problems.json", [](std::size_t) { return std::string(",\"a\":1"); });
    fill("shortest-members.json", [](std::size_t) { return std::string(",\"\":0"); });
    // One valid value of 16 MiB.
    const std::string work = Host + ", \"WorkFolder\": \"";
    Write(dir + "/long-value.json", work + std::string(limit - work.size() - 2, 'v') + "\"}");
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string tool = argc > 1 ? argv[1] : SIH_BENCH_CHECK_TOOL;
    char folder[] = "/tmp/sih-bench-check.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string dir = folder;
    WriteFiles(dir);
    malloc_trim(0);

    const std::vector<Case> cases{
        {"100,000 nested arrays", {dir + "/deep-arrays.json"}, 1, 1.0, 0},
        {"100,000 nested objects in a member", {dir + "/deep-objects.json"}, 1, 1.0, 0},
        {"1 MiB unknown key", {dir + "/long-key.json"}, 1, 1.0, 100},
        {"80,000 unknown members", {dir + "/unknown-members.json"}, 1, 2.0, 0},
        {"16 MiB, six long text values", {dir + "/large-valid.json"}, 0, 3.0, 300},
        {"16 MiB of valid members repeated", {dir + "/repeated-members.json"}, 1, 3.0, 300},
        {"the same, --json", {"--json", dir + "/repeated-members.json"}, 1, 3.0, 300},
        {"1.49 M tiny members, unknown names", {dir + "/tiny-members.json"}, 1, 3.0, 300},
        {"the same, --json", {"--json", dir + "/tiny-members.json"}, 1, 4.0, 300},
        {"2.8 M members, 3 problems each", {dir + "/three-problems.json"}, 1, 3.0, 300},
        {"the same, --json", {"--json", dir + "/three-problems.json"}, 1, 4.0, 300},
        {"3.36 M members of 5 bytes", {dir + "/shortest-members.json"}, 1, 3.0, 300},
        {"the same, --json", {"--json", dir + "/shortest-members.json"}, 1, 4.0, 300},
        {"16 MiB WorkFolder value", {dir + "/long-value.json"}, 0, 3.0, 300},
        {"the same, --json", {"--json", dir + "/long-value.json"}, 0, 4.0, 300},
        {"/dev/zero", {"/dev/zero"}, 2, 1.0, 0},
    };

    bool within = true;
    std::printf("%-38s %5s %9s %9s %9s %9s\n", "case", "exit", "seconds", "bound", "peak MB", "bound");
    std::fflush(stdout);
    for (const Case& c : cases) {
        const Measured m = RunTool(tool, c.arguments);
        const bool ok = m.exitCode == c.exitCode && m.seconds < c.maxSeconds
            && (c.maxMegabytes == 0 || m.megabytes < c.maxMegabytes);
        within = within && ok;
        std::printf("%-38s %5d %9.3f %9.1f %9ld %9s %s\n", c.what.c_str(), m.exitCode, m.seconds, c.maxSeconds,
                    m.megabytes, c.maxMegabytes > 0 ? std::to_string(c.maxMegabytes).c_str() : "-",
                    ok ? "" : "<- missed");
    }
    std::printf("%s\n", within ? "all within bounds" : "NOT all within bounds");

    std::system(("rm -rf '" + dir + "'").c_str());
    return within ? 0 : 1;
}
