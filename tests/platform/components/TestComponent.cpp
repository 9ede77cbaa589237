// A minimal in-process component: one class with one interface, reference counted.
#include "TestComponent.h"

namespace {

class Counter final : public CComObjectRoot<ITestCounter, IID_ITestCounter> {
public:
    int Increment() override { return ++m_count; }

private:
    int m_count = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_TestCounter))
        return CLASS_E_CLASSNOTAVAILABLE;
    return CComCreateObject<Counter>(iid, object);
}
