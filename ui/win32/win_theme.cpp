#include "ui/win32/win_theme.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

// ---------------------------------------------------------------------------
// Windows Runtime declarations. MinGW's headers lack the UISettings interfaces
// and the SDK's would drag in WRL-style headers, so the few pieces used here are
// declared with their documented vtable order. Own names keep them from clashing
// with SDK declarations when another translation unit includes those.
// They must not sit in an unnamed namespace: GCC would then know every class of
// the hierarchy, see no implementation of the pure virtuals and "devirtualise"
// the COM calls into __cxa_pure_virtual.
// ---------------------------------------------------------------------------

namespace sih_winrt_abi {

struct RtHStringOpaque;
using RtHString = RtHStringOpaque*;

enum RtTrustLevel : int { RtBaseTrust = 0, RtPartialTrust = 1, RtFullTrust = 2 };

struct RtEventToken {
    std::int64_t value;
};

struct RtColor {
    BYTE a;
    BYTE r;
    BYTE g;
    BYTE b;
};

// IUnknown layout, declared here so the code does not depend on whether the
// build defines WIN32_LEAN_AND_MEAN (which drops the COM headers from windows.h).
struct RtUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

// The Windows Runtime base interface every runtime object implements.
struct RtRuntimeObject : RtUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeClassName(RtHString* className) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrustLevel(RtTrustLevel* trustLevel) = 0;
};

struct RtActivationFactory : RtRuntimeObject {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(RtRuntimeObject** instance) = 0;
};

// Windows.UI.ViewManagement.IUISettings3.
struct RtUISettings3 : RtRuntimeObject {
    virtual HRESULT STDMETHODCALLTYPE GetColorValue(int desiredColor, RtColor* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ColorValuesChanged(void* handler, RtEventToken* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ColorValuesChanged(RtEventToken cookie) = 0;
};

} // namespace sih_winrt_abi

namespace {

using namespace sih_winrt_abi;

// {00000035-0000-0000-C000-000000000046}
constexpr IID kIidActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {03021BE4-5254-4781-8194-5168F7D06D7B}
constexpr IID kIidUISettings3 = {0x03021BE4, 0x5254, 0x4781, {0x81, 0x94, 0x51, 0x68, 0xF7, 0xD0, 0x6D, 0x7B}};

constexpr wchar_t kUISettingsClass[] = L"Windows.UI.ViewManagement.UISettings";
constexpr char kOperation[] = "GetSystemColor";

using RoGetActivationFactoryFn = HRESULT(WINAPI*)(RtHString, REFIID, void**);
using WindowsCreateStringFn = HRESULT(WINAPI*)(const wchar_t*, UINT32, RtHString*);
using WindowsDeleteStringFn = HRESULT(WINAPI*)(RtHString);
using CoIncrementMTAUsageFn = HRESULT(WINAPI*)(void** cookie);
using DllGetActivationFactoryFn = HRESULT(WINAPI*)(RtHString, RtActivationFactory**);

// GetProcAddress hands out FARPROC; the detour through void(*)() is the cast
// GCC's -Wcast-function-type accepts as deliberate.
template <typename Fn>
Fn Resolve(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

HRESULT LastErrorAsHResult()
{
    const DWORD error = GetLastError();
    return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// Loads only from System32: "Windows.dll" and friends must never be picked up
// from the application or current directory.
HMODULE LoadSystemLibrary(const wchar_t* name)
{
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

struct Combase {
    RoGetActivationFactoryFn roGetActivationFactory = nullptr;
    WindowsCreateStringFn windowsCreateString = nullptr;
    WindowsDeleteStringFn windowsDeleteString = nullptr;
    CoIncrementMTAUsageFn coIncrementMTAUsage = nullptr;
    HRESULT loadResult = S_OK;
};

// combase.dll stays loaded for the life of the process (the cached factory
// depends on it), so it is resolved once; a magic static makes that thread-safe.
const Combase& GetCombase()
{
    static const Combase combase = [] {
        Combase result;
        HMODULE module = LoadSystemLibrary(L"combase.dll");
        if (module == nullptr) {
            result.loadResult = LastErrorAsHResult();
            return result;
        }
        result.roGetActivationFactory = Resolve<RoGetActivationFactoryFn>(module, "RoGetActivationFactory");
        result.windowsCreateString = Resolve<WindowsCreateStringFn>(module, "WindowsCreateString");
        result.windowsDeleteString = Resolve<WindowsDeleteStringFn>(module, "WindowsDeleteString");
        result.coIncrementMTAUsage = Resolve<CoIncrementMTAUsageFn>(module, "CoIncrementMTAUsage");
        return result;
    }();
    return combase;
}

// Owns one reference to a COM object.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* pointer)
        : pointer_(pointer)
    {
    }
    ~ComRef()
    {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    T** put() { return &pointer_; }

private:
    T* pointer_ = nullptr;
};

// Owns one HSTRING made by WindowsCreateString.
class HString {
public:
    HString(const Combase& combase, const wchar_t* text)
        : combase_(combase)
    {
        const HRESULT hr = combase_.windowsCreateString(text, static_cast<UINT32>(std::wcslen(text)), &value_);
        if (FAILED(hr)) {
            throw WinRtError(kOperation, hr);
        }
    }
    ~HString()
    {
        if (value_ != nullptr) {
            combase_.windowsDeleteString(value_);
        }
    }
    HString(const HString&) = delete;
    HString& operator=(const HString&) = delete;

    RtHString get() const { return value_; }

private:
    const Combase& combase_;
    RtHString value_ = nullptr;
};

// Joins the multithreaded apartment for the rest of the process, at most once,
// so that threads without COM initialisation can use the runtime.
bool JoinMultithreadedApartmentOnce(const Combase& combase)
{
    static std::atomic<bool> joined{false};
    if (combase.coIncrementMTAUsage == nullptr) {
        return false;
    }
    if (joined.exchange(true)) {
        return true;
    }
    void* cookie = nullptr; // never decremented: the apartment is kept until exit
    if (FAILED(combase.coIncrementMTAUsage(&cookie))) {
        joined = false;
        return false;
    }
    return true;
}

// Asks libraries named after the namespace prefixes of the class, longest first,
// through their DllGetActivationFactory export. A library that produced the
// factory stays loaded, because the factory's code lives in it.
RtActivationFactory* FactoryFromNamespaceLibraries(const HString& className)
{
    std::wstring prefix = kUISettingsClass;
    for (auto dot = prefix.rfind(L'.'); dot != std::wstring::npos; dot = prefix.rfind(L'.')) {
        prefix.resize(dot);
        const std::wstring library = prefix + L".dll";
        HMODULE module = LoadSystemLibrary(library.c_str());
        if (module == nullptr) {
            continue;
        }
        const auto getFactory = Resolve<DllGetActivationFactoryFn>(module, "DllGetActivationFactory");
        RtActivationFactory* factory = nullptr;
        if (getFactory != nullptr && SUCCEEDED(getFactory(className.get(), &factory)) && factory != nullptr) {
            return factory;
        }
        FreeLibrary(module);
    }
    return nullptr;
}

// One new reference to the UISettings activation factory; throws when none can be had.
RtActivationFactory* AcquireFactory()
{
    const Combase& combase = GetCombase();
    if (combase.windowsCreateString == nullptr || combase.windowsDeleteString == nullptr) {
        throw WinRtError(kOperation,
                         FAILED(combase.loadResult) ? combase.loadResult : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    }
    const HString className(combase, kUISettingsClass);

    HRESULT hr = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    RtActivationFactory* factory = nullptr;
    if (combase.roGetActivationFactory != nullptr) {
        hr = combase.roGetActivationFactory(className.get(), kIidActivationFactory, reinterpret_cast<void**>(&factory));
        if (hr == CO_E_NOTINITIALIZED && JoinMultithreadedApartmentOnce(combase)) {
            factory = nullptr;
            hr = combase.roGetActivationFactory(className.get(), kIidActivationFactory,
                                                reinterpret_cast<void**>(&factory));
        }
    }
    if (SUCCEEDED(hr) && factory != nullptr) {
        return factory;
    }

    factory = FactoryFromNamespaceLibraries(className);
    if (factory != nullptr) {
        return factory;
    }
    // Report the runtime's own answer; it says more than the fallback's silence.
    throw WinRtError(kOperation, FAILED(hr) ? hr : REGDB_E_CLASSNOTREG);
}

// The factory is looked up by the first call that succeeds and kept until exit
// (never released: the process ends with it). A lookup that throws leaves the
// static uninitialised, so a later call tries again; C++11 makes the
// initialisation thread-safe, so concurrent first callers look it up only once.
RtActivationFactory* GetFactory()
{
    static RtActivationFactory* const factory = AcquireFactory();
    return factory;
}

void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr)) {
        throw WinRtError(kOperation, hr);
    }
}

} // namespace

std::string FormatHResult(long hresult)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hresult) & 0xFFFFFFFFUL);
    return text;
}

WinRtError::WinRtError(const std::string& operation, long hresult)
    : std::runtime_error(operation + " failed: HRESULT " + FormatHResult(hresult))
    , hresult_(hresult)
{
}

bool WinAppsUseDarkTheme()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                      KEY_READ, &key)
        != ERROR_SUCCESS) {
        return false;
    }
    // The type is deliberately neither requested nor checked; a value longer
    // than the buffer fails with ERROR_MORE_DATA and so reads as light.
    DWORD value = 0;
    DWORD size = sizeof value;
    const LSTATUS status =
        RegQueryValueExW(key, L"AppsUseLightTheme", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && value == 0;
}

WinColor WinGetUIColor(int type)
{
    RtActivationFactory* factory = GetFactory();

    ComRef<RtRuntimeObject> instance;
    ThrowIfFailed(factory->ActivateInstance(instance.put()));
    if (instance.get() == nullptr) {
        throw WinRtError(kOperation, E_POINTER);
    }

    ComRef<RtUISettings3> settings;
    ThrowIfFailed(instance->QueryInterface(kIidUISettings3, reinterpret_cast<void**>(settings.put())));

    RtColor color{};
    ThrowIfFailed(settings->GetColorValue(type, &color));

    WinColor result;
    result.a = color.a;
    result.r = color.r;
    result.g = color.g;
    result.b = color.b;
    return result;
}

bool WinIsImmersiveColorSetChange(unsigned message, const wchar_t* lParamText)
{
    return message == WM_SETTINGCHANGE && lParamText != nullptr && std::wcscmp(lParamText, L"ImmersiveColorSet") == 0;
}
