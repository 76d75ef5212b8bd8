// The ActiveX control host: creating "ZalComWin" windows (the creation record is checked),
// a teardown that runs twice, and the site objects the control talks to (one in-place
// site for all its interfaces, the lent DC, ambient properties, the container's
// enumerator), with the test server's control KvTest.Control.
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "engine/com/host/com_host.h"
#include "engine/com/host/com_host_internal.h"
#include "front_fixture.h"

namespace {

class ComHostTest : public OleFrontTest {
protected:
    void SetUp() override
    {
        OleFrontTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterComHostClass();
        parent_ = CreateWindowExW(0, L"STATIC", L"host parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(parent_);
        OleFrontTest::TearDown();
    }

    HWND Create(const wchar_t* name, const ComHostCreateRecord* record)
    {
        return CreateWindowExW(0, COM_HOST_CLASS, name, WS_CHILD | WS_VISIBLE, 5, 5, 120, 60, parent_, nullptr, nullptr,
                               const_cast<ComHostCreateRecord*>(record));
    }
    ComHostCreateRecord Record()
    {
        ComHostCreateRecord r{};
        r.size = COM_HOST_RECORD_SIZE;
        r.ctx = ctx;
        r.backColor = 0xFFFFFFFF;
        return r;
    }
    static CComHost* HostOf(HWND window)
    {
        return reinterpret_cast<CComHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    // A text property of the hosted control.
    static std::wstring ControlText(HWND window, const wchar_t* property)
    {
        IDispatch* control = nullptr;
        if (FAILED(ComHostGetControl(window, &control)))
            return L"<no control>";
        DISPID id = 0;
        auto* name = const_cast<LPOLESTR>(property);
        VARIANT v;
        VariantInit(&v);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        std::wstring text = L"<failed>";
        if (SUCCEEDED(control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id))
            && SUCCEEDED(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr))
            && v.vt == VT_BSTR)
            text = v.bstrVal;
        VariantClear(&v);
        control->Release();
        return text;
    }

    HWND parent_ = nullptr;
};

TEST_F(ComHostTest, TheCreationRecordMustBeWhole)
{
    ComHostCreateRecord shortRecord = Record();
    shortRecord.size = 63;
    EXPECT_EQ(Create(L"KvTest.Control", &shortRecord), nullptr);
    EXPECT_EQ(Create(L"KvTest.Control", nullptr), nullptr);
    ComHostCreateRecord record = Record();
    std::wstring longName(255, L'A');
    EXPECT_EQ(Create(longName.c_str(), &record), nullptr);
    EXPECT_EQ(Create(L"No.Such.Control", &record), nullptr);
    HWND window = Create(L"KvTest.Control", &record);
    ASSERT_NE(window, nullptr);
    wchar_t text[16] = L"x";
    GetWindowTextW(window, text, 16);
    EXPECT_STREQ(text, L"") << "the control's name is taken out of the window text";
    DestroyWindow(window);
}

TEST_F(ComHostTest, ASecondTeardownReleasesNothing)
{
    ComHostCreateRecord record = Record();
    HWND window = Create(L"KvTest.Control", &record);
    ASSERT_NE(window, nullptr);
    CComHost* host = HostOf(window);
    ASSERT_NE(host, nullptr);
    IDispatch* control = nullptr;
    ASSERT_EQ(ComHostGetControl(window, &control), S_OK);
    host->Teardown();
    EXPECT_EQ(host->control, nullptr);
    EXPECT_EQ(host->oleObject, nullptr);
    host->Teardown();
    DestroyWindow(window);   // WM_DESTROY tears down once more
    // The control outlives the host only through the reference handed out above.
    EXPECT_EQ(control->Release(), 0u);
    EXPECT_EQ(ComHostGetControl(window, &control), E_FAIL);
}

TEST_F(ComHostTest, SiteObjectsAnswerForTheHost)
{
    ComHostCreateRecord record = Record();
    HWND window = Create(L"KvTest.Control", &record);
    ASSERT_NE(window, nullptr);
    CComHost* host = HostOf(window);

    IOleInPlaceSiteWindowless* windowless = nullptr;
    IOleInPlaceSite* site = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IOleInPlaceSiteWindowless, reinterpret_cast<void**>(&windowless)), S_OK);
    ASSERT_EQ(host->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)), S_OK);
    EXPECT_EQ(static_cast<void*>(windowless), static_cast<void*>(site));
    void* none = &record;
    EXPECT_EQ(host->QueryInterface(IID_IPersistFile, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    HDC first = nullptr, second = nullptr;
    EXPECT_EQ(windowless->GetDC(nullptr, 0, &first), S_OK);
    EXPECT_EQ(windowless->GetDC(nullptr, 0, &second), E_FAIL) << "one DC is lent at a time";
    EXPECT_EQ(windowless->ReleaseDC(first), S_OK);
    EXPECT_EQ(windowless->GetDC(nullptr, OLEDC_OFFSCREEN, &second), S_OK);
    EXPECT_EQ(windowless->ReleaseDC(second), S_OK);
    EXPECT_EQ(windowless->GetDC(nullptr, 0, nullptr), E_POINTER);
    windowless->Release();
    site->Release();

    IDispatch* ambient = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient)), S_OK);
    DISPPARAMS noArgs = {nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(ambient->Invoke(DISPID_AMBIENT_LOCALEID, IID_NULL, 0, DISPATCH_PROPERTYGET, &noArgs, &v, nullptr, nullptr), S_OK);
    EXPECT_EQ(v.vt, VT_UI4);
    EXPECT_EQ(v.ulVal, 1024u);
    ASSERT_EQ(ambient->Invoke(-999, IID_NULL, 0, DISPATCH_PROPERTYGET, &noArgs, &v, nullptr, nullptr), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_FALSE);
    ASSERT_EQ(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET, &noArgs, &v, nullptr, nullptr), S_OK);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noArgs, &v, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &noArgs, &v, nullptr, nullptr),
              E_INVALIDARG);
    ambient->Release();

    // The container hands out its one control, then nothing.
    IOleContainer* container = nullptr;
    ASSERT_EQ(host->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(&container)), S_OK);
    IEnumUnknown* items = nullptr;
    ASSERT_EQ(container->EnumObjects(OLECONTF_EMBEDDINGS, &items), S_OK);
    IUnknown* got[2] = {};
    ULONG fetched = 9;
    EXPECT_EQ(items->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    ASSERT_NE(got[0], nullptr);
    got[0]->Release();
    EXPECT_EQ(items->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(items->Next(0, got, &fetched), E_INVALIDARG);
    items->Reset();
    EXPECT_EQ(items->Skip(2), S_FALSE);
    items->Release();
    container->Release();
    DestroyWindow(window);
}

TEST_F(ComHostTest, AColourChangeMakesTheControlReadItsAmbientAgain)
{
    ComHostCreateRecord record = Record();
    record.backColor = RGB(1, 2, 3);
    HWND window = Create(L"KvTest.Control", &record);
    ASSERT_NE(window, nullptr);
    std::wstring before = ControlText(window, L"AmbientLog");
    EXPECT_NE(before.find(L"-701=3 197121"), std::wstring::npos) << before;   // the record's colour
    EXPECT_EQ(ComHostSetAmbientColor(window, RGB(0x56, 0x34, 0x12), 0), 1);
    std::wstring after = ControlText(window, L"AmbientLog");
    EXPECT_EQ(after.substr(before.size()), L" -701=3 1193046");
    EXPECT_EQ(ComHostSetAmbientColor(parent_, 0, 0), 0) << "a window without a host";
    DestroyWindow(window);
}

}  // namespace
