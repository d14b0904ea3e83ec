#pragma once

// Windows theme and system-colour access without Qt, so that it can be built and
// exercised on its own (cross-compiled and run under wine) and wrapped by the
// Qt layer in ui/theme_windows.cpp.

#include <cstdint>
#include <stdexcept>
#include <string>

// One colour value as Windows.UI.Color hands it out: alpha first.
struct WinColor {
    std::uint8_t a = 0;
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// A failed Windows Runtime call; what() reads
// "<operation> failed: HRESULT 0x80040154".
class WinRtError : public std::runtime_error {
public:
    WinRtError(const std::string& operation, long hresult);

    long hresult() const noexcept { return hresult_; }

private:
    long hresult_;
};

// "0x%08X" of the HRESULT's 32 bits, the way Windows tools print it.
std::string FormatHResult(long hresult);

// True exactly when HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize
// holds AppsUseLightTheme with the 32-bit value 0; false on any failure.
bool WinAppsUseDarkTheme();

// The colour of Windows.UI.ViewManagement.UIColorType `type` (0 Background ...
// 9 Complement) from a fresh UISettings instance. Throws WinRtError.
WinColor WinGetUIColor(int type);

// True for WM_SETTINGCHANGE whose lParam string is "ImmersiveColorSet", the
// broadcast Windows sends when the app theme or the accent colour changes.
// lParamText may be null (many WM_SETTINGCHANGE broadcasts carry none).
bool WinIsImmersiveColorSetChange(unsigned message, const wchar_t* lParamText);
