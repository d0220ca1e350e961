#include <gtest/gtest.h>

#include "platform/com/activation.h"

using namespace platform::com;

namespace {

const CLSID kClass{0x01020304, 0x0506, 0x0708, {1, 2, 3, 4, 5, 6, 7, 8}};
const CLSID kUnknownClass{0x0A0B0C0D, 0, 0, {}};

// A class object that counts its references and answers only for IClassFactory.
struct CountingFactory : IClassFactory {
    ULONG refs = 0;
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT CreateInstance(IUnknown*, REFIID, void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

TEST(ClassObjects, ARegisteredObjectAnswersUntilRevokedAndKeepsItsCountRight) {
    CountingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kClass, &factory, CLSCTX_LOCAL_SERVER, 0, &cookie), S_OK);
    EXPECT_EQ(factory.refs, 1u);

    void* got = nullptr;
    ASSERT_EQ(CoGetClassObject(kClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, &got),
              S_OK);
    EXPECT_EQ(got, static_cast<IClassFactory*>(&factory));
    EXPECT_EQ(factory.refs, 2u);
    static_cast<IClassFactory*>(got)->Release();

    EXPECT_EQ(CoGetClassObject(kClass, CLSCTX_LOCAL_SERVER, nullptr, IID_IDataObject, &got),
              E_NOINTERFACE);
    EXPECT_EQ(got, nullptr);

    ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory.refs, 0u);
    EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
    EXPECT_NE(CoGetClassObject(kClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &got),
              S_OK);
}

TEST(ClassObjects, AnUnregisteredClassIsReportedNotRegistered) {
    void* got = reinterpret_cast<void*>(1);
    EXPECT_EQ(
        CoGetClassObject(kUnknownClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &got),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(got, nullptr);
}
