// A minimal in-process component: one class with one interface, reference counted.
#include "TestComponent.h"

namespace {

class Counter final : public ITestCounter {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ITestCounter) {
            *object = static_cast<ITestCounter*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    int Increment() override { return ++m_count; }

private:
    ULONG m_refs = 0;
    int m_count = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_TestCounter))
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* counter = new Counter;
    counter->AddRef();
    const HRESULT hr = counter->QueryInterface(iid, object);
    counter->Release();
    return hr;
}
