// COM-style components and shared libraries: class ids, IUnknown, creation of in-process
// components found in the program directory, and exports taken by ordinal. No toolkit here.
#pragma once

#include "afxtypes.h"

#include <cstring>
#include <new>
#include <string>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HRESULT(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154u);
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 23;

constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// QueryInterface and reference counting for a component object with one interface besides
// IUnknown. A new object holds one reference, its creator's.
template <class Interface, const IID& InterfaceId> class CComObjectRoot : public Interface {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (!(iid == IID_IUnknown || iid == InterfaceId)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~CComObjectRoot() = default;

private:
    ULONG m_refs = 1;
};

// Creates an object of a component class and returns the requested interface of it; an object
// whose interface is refused is released at once.
template <class Object> HRESULT CComCreateObject(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    auto* created = new (std::nothrow) Object;
    if (!created)
        return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

// Signature every component library exports under the name "DllGetClassObject": it creates an
// object of the class and returns the requested interface of it (no class factory step).
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// Creates an object of an in-process component. The component is looked for in the shared
// libraries (*.so) of the program directory, each asked through its DllGetClassObject export.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// Shared libraries and exports by ordinal. A library exports its ordinals as the C symbol
// "AfxOrdinalExports": an array of OrdinalExport ending with an entry whose ordinal is 0.
struct OrdinalExport {
    WORD ordinal;
    void* function;
};
using HMODULE = void*;
HMODULE AfxLoadLibrary(const std::string& path);                // null when it cannot be loaded
void* AfxGetProcAddressByOrdinal(HMODULE module, WORD ordinal); // null when not exported
void AfxFreeLibrary(HMODULE module);
