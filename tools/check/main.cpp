#include "tools/check/check_tool.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Standard input that tells a read error (or a closed descriptor) from the end of
// the input: the stream reports it as bad instead of as an empty file.
class StandardInput : public std::streambuf {
public:
    explicit StandardInput(bool closed)
        : closed_(closed)
    {
    }

protected:
    int_type underflow() override
    {
        if (closed_) {
            throw std::runtime_error("standard input is closed");
        }
        const std::size_t got = std::fread(buffer_, 1, sizeof buffer_, stdin);
        if (got == 0) {
            if (std::ferror(stdin)) {
                throw std::runtime_error("read error");
            }
            return traits_type::eof();
        }
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
    }

private:
    bool closed_;
    char buffer_[65536];
};

} // namespace

int main(int argc, char* argv[])
{
    bool stdinClosed = false;
#ifdef _WIN32
    // The settings file's CR LF line ends must reach a redirected output unchanged.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#else
    // A closed descriptor 0 would be handed to the next file opened, which would
    // then be read as standard input; /dev/null holds the place instead.
    if (fcntl(0, F_GETFD) == -1 && errno == EBADF) {
        stdinClosed = true;
        const int placeholder = open("/dev/null", O_RDONLY);
        if (placeholder > 0) {
            close(placeholder);
        }
    }
    // A reader that leaves early is a write error (EPIPE, exit 2) with a message,
    // not a silent death.
    signal(SIGPIPE, SIG_IGN);
    // The bytes as given: a name that is not UTF-8 must not turn into U+FFFD.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
#endif
    QCoreApplication application(argc, argv);
#ifdef _WIN32
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments().mid(1)) {
        arguments.push_back(argument.toStdString());
    }
#endif
    StandardInput input(stdinClosed);
    std::istream in(&input);
    return RunCheckTool(arguments, in, std::cout, std::cerr);
}
