// What another program does to the one under test on Windows:
//   win_helper theme-changed     broadcasts WM_SETTINGCHANGE "ImmersiveColorSet", as
//                                Windows does when the app theme or accent changes;
//   win_helper hold FILE SECONDS [shared]
//                                opens FILE without sharing it (shared: others may
//                                read and write it, not delete or rename it), says
//                                "held" and keeps it open that long.

#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t* argv[])
{
    if (argc == 2 && std::wcscmp(argv[1], L"theme-changed") == 0) {
        DWORD_PTR answer = 0;
        const LRESULT sent =
            SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"),
                                SMTO_ABORTIFHUNG, 5000, &answer);
        return sent != 0 ? 0 : 1;
    }
    if ((argc == 4 || (argc == 5 && std::wcscmp(argv[4], L"shared") == 0)) && std::wcscmp(argv[1], L"hold") == 0) {
        const DWORD sharing = argc == 5 ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
        const HANDLE file =
            CreateFileW(argv[2], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "cannot open: error %lu\n", GetLastError());
            return 1;
        }
        std::puts("held");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) * 1000);
        CloseHandle(file);
        return 0;
    }
    std::fputs("usage: win_helper theme-changed | hold FILE SECONDS [shared]\n", stderr);
    return 2;
}
