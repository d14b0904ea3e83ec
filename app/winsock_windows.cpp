#include "app/network_startup.h"

// winsock2.h must come before anything that pulls in windows.h, which would
// otherwise bring the old winsock.h with it.
#include <winsock2.h>

bool StartWinSock()
{
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

void StopWinSock()
{
    WSACleanup();
}
