// Qt-free driver for the Windows platform layer: cross-compiled by
// scripts/check-windows-build.sh and run under wine (or on Windows).
//
//   win_theme_smoke.exe [--expect-theme dark|light] [--require-colors | --fake-colors]
//
// --expect-theme compares WinAppsUseDarkTheme() with what the caller put into
// the registry; --require-colors makes a failed GetSystemColor a failure (on
// real Windows 10/11 UISettings always exists, under wine it does not);
// --fake-colors expects the test double of tests/ui/fake_uisettings_dll.cpp to
// answer and checks its exact colours, errors and reference counts.
// Exit code 0 only when every check passed.

#include "app/network_startup.h"
#include "ui/win32/win_theme.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int failures = 0;
int checks = 0;

void Check(bool condition, const std::string& what)
{
    ++checks;
    if (!condition) {
        ++failures;
        std::printf("FAIL: %s\n", what.c_str());
    }
}

void CheckErrorFormat()
{
    const WinRtError error("GetSystemColor", REGDB_E_CLASSNOTREG);
    Check(std::string(error.what()) == "GetSystemColor failed: HRESULT 0x80040154",
          std::string("WinRtError message, got \"") + error.what() + "\"");
    Check(error.hresult() == REGDB_E_CLASSNOTREG, "WinRtError keeps the HRESULT");
    Check(error.hresult() < 0, "a failure HRESULT stays negative");
    Check(FormatHResult(S_OK) == "0x00000000", "FormatHResult(S_OK) is " + FormatHResult(S_OK));
}

void CheckSettingChangeFilter()
{
    Check(WinIsImmersiveColorSetChange(WM_SETTINGCHANGE, L"ImmersiveColorSet"),
          "WM_SETTINGCHANGE \"ImmersiveColorSet\" is a theme change");
    Check(!WinIsImmersiveColorSetChange(WM_SETTINGCHANGE, nullptr), "WM_SETTINGCHANGE without text is not");
    Check(!WinIsImmersiveColorSetChange(WM_SETTINGCHANGE, L"Policy"), "WM_SETTINGCHANGE \"Policy\" is not");
    Check(!WinIsImmersiveColorSetChange(WM_SETTINGCHANGE, L"ImmersiveColorSetX"), "a longer text is not");
    Check(!WinIsImmersiveColorSetChange(WM_SETTINGCHANGE, L"Immersive"), "a shorter text is not");
    Check(!WinIsImmersiveColorSetChange(WM_THEMECHANGED, L"ImmersiveColorSet"), "another message is not");
}

bool CanOpenSocket()
{
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return false;
    }
    closesocket(s);
    return true;
}

void CheckWinSock()
{
    Check(!CanOpenSocket() && WSAGetLastError() == WSANOTINITIALISED, "no socket before StartWinSock");
    Check(StartWinSock(), "StartWinSock succeeds");
    Check(CanOpenSocket(), "a socket opens after StartWinSock");
    StopWinSock();
    Check(!CanOpenSocket() && WSAGetLastError() == WSANOTINITIALISED, "no socket after StopWinSock");
}

void CheckColors(bool requireColors)
{
    for (int type = 0; type <= 9; ++type) {
        try {
            const WinColor color = WinGetUIColor(type);
            std::printf("color %d: A=%u R=%u G=%u B=%u\n", type, color.a, color.r, color.g, color.b);
        } catch (const WinRtError& error) {
            std::printf("color %d: %s\n", type, error.what());
            Check(error.hresult() < 0, "WinRtError carries a failure HRESULT");
            Check(std::string(error.what()) == "GetSystemColor failed: HRESULT " + FormatHResult(error.hresult()),
                  std::string("error text names the operation and code: ") + error.what());
            Check(!requireColors, "colour " + std::to_string(type) + " is available");
        }
    }
}

using FakeCountersFn = void(WINAPI*)(long*, long*, long*);

struct FakeCounters {
    long requests = -1;
    long made = -1;
    long alive = -1;
};

FakeCounters ReadFakeCounters()
{
    FakeCounters counters;
    HMODULE fake = GetModuleHandleW(L"Windows.UI.ViewManagement.dll");
    const auto read = fake == nullptr ? nullptr
                                      : reinterpret_cast<FakeCountersFn>(reinterpret_cast<void (*)()>(
                                            GetProcAddress(fake, "FakeUISettingsCounters")));
    Check(read != nullptr, "the fake UISettings library was loaded through the namespace fallback");
    if (read != nullptr) {
        read(&counters.requests, &counters.made, &counters.alive);
    }
    return counters;
}

constexpr int kFirstUseThreads = 4;
HANDLE startSignal = nullptr;
volatile LONG threadColorFailures = 0;

DWORD WINAPI FirstUseThread(void*)
{
    WaitForSingleObject(startSignal, INFINITE);
    try {
        const WinColor color = WinGetUIColor(5);
        if (color.a != 205 || color.r != 15 || color.g != 105 || color.b != 155) {
            InterlockedIncrement(&threadColorFailures);
        }
    } catch (const WinRtError&) {
        InterlockedIncrement(&threadColorFailures);
    }
    return 0;
}

// Several threads ask for their first colour at the same moment; the factory
// must still be requested once and every thread must get its colour.
void CheckFakeFirstUseFromThreads()
{
    startSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[kFirstUseThreads] = {};
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, FirstUseThread, nullptr, 0, nullptr);
    }
    SetEvent(startSignal);
    WaitForMultipleObjects(kFirstUseThreads, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }
    CloseHandle(startSignal);
    Check(threadColorFailures == 0, "every thread got colour 5 from the fake");
    const FakeCounters counters = ReadFakeCounters();
    Check(counters.requests == 1, "factory requested once by concurrent first callers, got " +
                                      std::to_string(counters.requests));
}

void CheckFakeColors()
{
    CheckFakeFirstUseFromThreads();
    for (int type = 0; type <= 9; ++type) {
        try {
            const WinColor color = WinGetUIColor(type);
            Check(color.a == 200 + type && color.r == 10 + type && color.g == 100 + type && color.b == 150 + type,
                  "colour " + std::to_string(type) + " keeps A, R, G, B apart");
        } catch (const WinRtError& error) {
            Check(false, std::string("colour ") + std::to_string(type) + " from the fake: " + error.what());
        }
    }
    try {
        WinGetUIColor(10);
        Check(false, "an unknown colour type raises WinRtError");
    } catch (const WinRtError& error) {
        Check(error.hresult() == E_INVALIDARG, "the fake's E_INVALIDARG reaches the caller");
        Check(std::string(error.what()) == "GetSystemColor failed: HRESULT 0x80070057",
              std::string("error text: ") + error.what());
    }
    const FakeCounters counters = ReadFakeCounters();
    Check(counters.requests == 1, "factory kept for the process, requested " + std::to_string(counters.requests));
    Check(counters.made == kFirstUseThreads + 11,
          "a new instance per call, made " + std::to_string(counters.made));
    Check(counters.alive == 0, "every instance released, alive " + std::to_string(counters.alive));
}

} // namespace

int main(int argc, char** argv)
{
    const char* expectedTheme = nullptr;
    bool requireColors = false;
    bool fakeColors = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--expect-theme") == 0 && i + 1 < argc) {
            expectedTheme = argv[++i];
        } else if (std::strcmp(argv[i], "--require-colors") == 0) {
            requireColors = true;
        } else if (std::strcmp(argv[i], "--fake-colors") == 0) {
            fakeColors = true;
        } else {
            std::printf("usage: %s [--expect-theme dark|light] [--require-colors | --fake-colors]\n", argv[0]);
            return 2;
        }
    }

    CheckErrorFormat();
    CheckSettingChangeFilter();
    CheckWinSock();

    const char* theme = WinAppsUseDarkTheme() ? "dark" : "light";
    std::printf("theme: %s\n", theme);
    if (expectedTheme != nullptr) {
        Check(std::strcmp(theme, expectedTheme) == 0, std::string("theme should be ") + expectedTheme);
    }

    if (fakeColors) {
        CheckFakeColors();
    } else {
        CheckColors(requireColors);
    }

    std::printf("%s: %d checks, %d failed\n", failures == 0 ? "ok" : "FAILED", checks, failures);
    return failures == 0 ? 0 : 1;
}
