// Test double for the Windows.UI.ViewManagement.UISettings runtime class, built
// as "Windows.UI.ViewManagement.dll" and placed into the System32 folder of a
// private wine prefix by scripts/check-windows-build.sh. Wine has no UISettings,
// so this lets the activation-factory fallback, the COM vtable layout, the
// A/R/G/B order, error propagation and reference counting of ui/win32/win_theme.cpp
// be checked for real. Never shipped.
//
// GetColorValue(type) answers A=200+type, R=10+type, G=100+type, B=150+type for
// type 0..9 (all four channels differ, so any channel mix-up shows) and
// E_INVALIDARG otherwise.

#include <windows.h>

#include <cstdint>
#include <cwchar>

namespace {

struct FakeHString;
using HStringHandle = FakeHString*;

struct Unknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct RuntimeObject : Unknown {
    virtual HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HStringHandle* className) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrustLevel(int* trustLevel) = 0;
};

struct ActivationFactory : RuntimeObject {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(RuntimeObject** instance) = 0;
};

struct Color {
    BYTE a;
    BYTE r;
    BYTE g;
    BYTE b;
};

struct EventToken {
    std::int64_t value;
};

struct UISettings3 : RuntimeObject {
    virtual HRESULT STDMETHODCALLTYPE GetColorValue(int desiredColor, Color* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ColorValuesChanged(void* handler, EventToken* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ColorValuesChanged(EventToken cookie) = 0;
};

constexpr IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidRuntimeObject = {0xAF86E2E0, 0xB12D, 0x4C6A, {0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90}};
constexpr IID kIidActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidUISettings3 = {0x03021BE4, 0x5254, 0x4781, {0x81, 0x94, 0x51, 0x68, 0xF7, 0xD0, 0x6D, 0x7B}};

volatile LONG factoryRequests = 0;
volatile LONG activations = 0;
volatile LONG liveInstances = 0;

bool SameIid(REFIID left, const IID& right)
{
    return IsEqualGUID(left, right) != 0;
}

class Settings final : public UISettings3 {
public:
    Settings() { InterlockedIncrement(&liveInstances); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (SameIid(iid, kIidUnknown) || SameIid(iid, kIidRuntimeObject) || SameIid(iid, kIidUISettings3)) {
            *object = static_cast<UISettings3*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            InterlockedDecrement(&liveInstances);
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HStringHandle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(int*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetColorValue(int desiredColor, Color* value) override
    {
        if (value == nullptr) {
            return E_POINTER;
        }
        if (desiredColor < 0 || desiredColor > 9) {
            return E_INVALIDARG;
        }
        const BYTE offset = static_cast<BYTE>(desiredColor);
        value->a = static_cast<BYTE>(200 + offset);
        value->r = static_cast<BYTE>(10 + offset);
        value->g = static_cast<BYTE>(100 + offset);
        value->b = static_cast<BYTE>(150 + offset);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_ColorValuesChanged(void*, EventToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_ColorValuesChanged(EventToken) override { return E_NOTIMPL; }

private:
    ~Settings() = default;
    volatile LONG references_ = 1;
};

// One static factory, as a real runtime DLL would keep; its count is not tracked.
class Factory final : public ActivationFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (SameIid(iid, kIidUnknown) || SameIid(iid, kIidRuntimeObject) || SameIid(iid, kIidActivationFactory)) {
            *object = static_cast<ActivationFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HStringHandle*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(int*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE ActivateInstance(RuntimeObject** instance) override
    {
        if (instance == nullptr) {
            return E_POINTER;
        }
        InterlockedIncrement(&activations);
        *instance = new Settings;
        return S_OK;
    }
};

Factory factory;

using WindowsGetStringRawBufferFn = const wchar_t*(WINAPI*)(HStringHandle, UINT32*);

bool IsUISettingsClass(HStringHandle name)
{
    HMODULE combase = GetModuleHandleW(L"combase.dll");
    if (combase == nullptr) {
        return false;
    }
    const auto rawBuffer = reinterpret_cast<WindowsGetStringRawBufferFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(combase, "WindowsGetStringRawBuffer")));
    if (rawBuffer == nullptr) {
        return false;
    }
    const wchar_t* text = rawBuffer(name, nullptr);
    return text != nullptr && std::wcscmp(text, L"Windows.UI.ViewManagement.UISettings") == 0;
}

} // namespace

// MinGW exports a DLL's global functions automatically; extern "C" keeps the
// plain name that GetProcAddress asks for.
extern "C" HRESULT WINAPI DllGetActivationFactory(HStringHandle className, ActivationFactory** result)
{
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!IsUISettingsClass(className)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    InterlockedIncrement(&factoryRequests);
    *result = &factory;
    return S_OK;
}

// Lets the driver see how often the factory was asked for, how many instances
// were made and how many are still alive (0 once every reference is released).
extern "C" void WINAPI FakeUISettingsCounters(long* requests, long* made, long* alive)
{
    *requests = factoryRequests;
    *made = activations;
    *alive = liveInstances;
}
