#pragma once

// Process-wide network start-up: WinSock (Windows only) and the TLS library's
// error strings. Instances live in static storage and undo WinSock at exit.
class NetworkStartup {
public:
    NetworkStartup();
    ~NetworkStartup();
    NetworkStartup(const NetworkStartup&) = delete;
    NetworkStartup& operator=(const NetworkStartup&) = delete;

#ifdef _WIN32
private:
    bool winSockStarted_ = false;
#endif
};

#ifdef _WIN32
// WSAStartup with version 2.0; true only when the call succeeded.
bool StartWinSock();
// WSACleanup; call only after a successful StartWinSock.
void StopWinSock();
#endif
