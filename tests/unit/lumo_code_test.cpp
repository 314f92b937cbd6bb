// The LumoCode object in this process: its interfaces, its control attributes, its persistence,
// its type library and the lock it holds on the server.

#include "code/code_window.h"
#include "code/controller_state.h"
#include "server/class_factory.h"
#include "server/lumo_code.h"
#include "server/server_classes.h"
#include "server/server_module.h"
#include "server/server_registration.h"
#include "support/server_keys.h"
#include "support/window_log.h"
#include "support/windows.h"

#include "support/code_on_screen.h"
#include "support/in_process_server.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Counts the code windows that this thread creates while it lives, and closes them at the end.
class CodeWindowCounter {
  public:
    CodeWindowCounter() = default;
    ~CodeWindowCounter() { closeCodeWindows(); }
    CodeWindowCounter(const CodeWindowCounter&) = delete;
    CodeWindowCounter& operator=(const CodeWindowCounter&) = delete;

    int created() const { return log_.count(codeWindowClassName); }

  private:
    WindowLog log_;
};

// A property bag that keeps what is written to it.
class MemoryPropertyBag final : public IPropertyBag {
  public:
    ~MemoryPropertyBag() {
        for (auto& [name, value] : values_)
            VariantClear(&value);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IPropertyBag) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        auto found = values_.find(name);
        if (found == values_.end())
            return E_INVALIDARG;
        const VARTYPE wanted = V_VT(value);
        VariantInit(value);
        return wanted == VT_EMPTY ? VariantCopy(value, &found->second)
                                  : VariantChangeType(value, &found->second, 0, wanted);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        VARIANT& stored = values_[name];
        VariantClear(&stored);
        names_.push_back(name);
        return VariantCopy(&stored, value);
    }

    void put(const wchar_t* name, VARTYPE type, LONG number) {
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = VT_I4;
        V_I4(&value) = number;
        VariantChangeType(&value, &value, 0, type);
        Write(name, &value);
        names_.clear();
    }
    // The type and the number that the bag holds under the name.
    std::pair<VARTYPE, LONG> held(const wchar_t* name) const {
        auto found = values_.find(name);
        if (found == values_.end())
            return {VT_EMPTY, 0};
        VARIANT number;
        VariantInit(&number);
        VariantChangeType(&number, const_cast<VARIANT*>(&found->second), 0, VT_I4);
        return {V_VT(&found->second), V_I4(&number)};
    }
    const std::vector<std::wstring>& namesWritten() const { return names_; }

  private:
    std::map<std::wstring, VARIANT> values_;
    std::vector<std::wstring> names_;
};

using Extent = std::pair<LONG, LONG>;
constexpr Extent twoInches{5080, 5080};

class LumoCodeObject : public InProcessServer {
  protected:
    static ComPtr<IUnknown> create() {
        ComPtr<IUnknown> object;
        EXPECT_EQ(createLumoCode(IID_IUnknown, object.putVoid()), S_OK);
        return object;
    }
    template <class Interface> static ComPtr<Interface> as(IUnknown* object, const IID& iid) {
        ComPtr<Interface> answered;
        EXPECT_EQ(object->QueryInterface(iid, answered.putVoid()), S_OK);
        return answered;
    }
    static short displayCodeOf(IUnknown* object) {
        short value = -1;
        as<ILumoCode>(object, IID_ILumoCode)->get_DisplayCode(&value);
        return value;
    }
    // The control's extent in HIMETRIC, width and height.
    static Extent extentOf(IUnknown* object) {
        SIZEL extent{};
        as<IOleObject>(object, IID_IOleObject)->GetExtent(DVASPECT_CONTENT, &extent);
        return {extent.cx, extent.cy};
    }
    static void setExtent(IUnknown* object, Extent extent) {
        SIZEL size{extent.first, extent.second};
        as<IOleObject>(object, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &size);
    }
};

TEST_F(LumoCodeObject, AnswersExactlyTheInterfacesOfItsTable) {
    ComPtr<IUnknown> object = create();
    const IID* answered[] = {&IID_IUnknown,
                             &IID_ILumoCode,
                             &IID_IDispatch,
                             &IID_IViewObjectEx,
                             &IID_IViewObject2,
                             &IID_IViewObject,
                             &IID_IOleInPlaceObjectWindowless,
                             &IID_IOleInPlaceObject,
                             &IID_IOleWindow,
                             &IID_IOleInPlaceActiveObject,
                             &IID_IOleControl,
                             &IID_IOleObject,
                             &IID_IPersistStreamInit,
                             &IID_IPersist,
                             &IID_IPersistPropertyBag,
                             &IID_IObjectSafety};
    for (const IID* iid : answered) {
        ComPtr<IUnknown> answer;
        ASSERT_EQ(object->QueryInterface(*iid, answer.putVoid()), S_OK);
        ComPtr<IUnknown> identity;
        answer->QueryInterface(IID_IUnknown, identity.putVoid());
        EXPECT_EQ(identity.get(), object.get()) << "a second identity";
    }
    const IID* refused[] = {&IID_IConnectionPointContainer,
                            &IID_IProvideClassInfo,
                            &IID_IProvideClassInfo2,
                            &IID_ISpecifyPropertyPages,
                            &IID_IPersistStorage,
                            &IID_IDataObject,
                            &IID_IQuickActivate,
                            &IID_IClassFactory};
    for (const IID* iid : refused) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(object->QueryInterface(*iid, answer.putVoid()), E_NOINTERFACE);
        EXPECT_FALSE(answer);
    }
}

TEST_F(LumoCodeObject, SafetyOptionsAreTheTwoSupportedOnesForItsOwnInterfacesOnly) {
    ComPtr<IUnknown> object = create();
    auto safety = as<IObjectSafety>(object.get(), IID_IObjectSafety);
    DWORD supported = 99;
    DWORD enabled = 99;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 0u);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), S_OK);
    safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 2, 2), S_OK);
    safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled);
    EXPECT_EQ(enabled, 3u) << "options outside the mask changed";

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IConnectionPointContainer, 1, 1),
              E_NOINTERFACE);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
    // The interface counts before the mask.
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IConnectionPointContainer, 4, 4),
              E_NOINTERFACE);
    EXPECT_EQ(
        safety->GetInterfaceSafetyOptions(IID_IConnectionPointContainer, &supported, &enabled),
        E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(enabled, 0u);
}

TEST_F(LumoCodeObject, IsAnOpaqueControlOfTwoInchesThatIsHitInsideItsBounds) {
    ComPtr<IUnknown> object = create();
    auto view = as<IViewObjectEx>(object.get(), IID_IViewObjectEx);
    DWORD status = 0;
    EXPECT_EQ(view->GetViewStatus(&status), S_OK);
    EXPECT_EQ(status, 3u);

    const RECT bounds{10, 10, 50, 50};
    DWORD hit = 99;
    EXPECT_EQ(view->QueryHitPoint(DVASPECT_CONTENT, &bounds, POINT{20, 30}, 0, &hit), S_OK);
    EXPECT_EQ(hit, 3u);
    EXPECT_EQ(view->QueryHitPoint(DVASPECT_CONTENT, &bounds, POINT{60, 30}, 0, &hit), S_OK);
    EXPECT_EQ(hit, 0u);
    EXPECT_EQ(view->QueryHitPoint(DVASPECT_ICON, &bounds, POINT{20, 30}, 0, &hit), E_FAIL);

    auto ole = as<IOleObject>(object.get(), IID_IOleObject);
    DWORD misc = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 131473u);
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_ICON, &misc), S_OK);
    EXPECT_EQ(misc, 0u);
    EXPECT_EQ(extentOf(object.get()), twoInches);
    SIZEL extent{};
    DVEXTENTINFO natural{sizeof(natural), DVEXTENT_CONTENT, {}};
    EXPECT_EQ(view->GetNaturalExtent(DVASPECT_CONTENT, -1, nullptr, nullptr, &natural, &extent),
              S_OK);
    EXPECT_EQ(extent.cx, 5080);

    // A container's usual calls, null pointers among them, are answered without harm.
    EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, 0),
              S_OK);
    HWND window = nullptr;
    EXPECT_EQ(as<IOleWindow>(object.get(), IID_IOleWindow)->GetWindow(&window), E_FAIL);
    EXPECT_EQ(ole->GetExtent(DVASPECT_CONTENT, nullptr), E_POINTER);
    EXPECT_EQ(view->GetViewStatus(nullptr), E_POINTER);
    EXPECT_EQ(ole->EnumVerbs(nullptr), E_POINTER);
    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
}

TEST_F(LumoCodeObject, ANewControlSavesItsExtentAndDisplayCodeZeroIntoAPropertyBag) {
    CodeWindowCounter codeWindows;
    ComPtr<IUnknown> object = create();
    EXPECT_EQ(as<IPersistPropertyBag>(object.get(), IID_IPersistPropertyBag)->InitNew(), S_OK);
    MemoryPropertyBag bag;
    EXPECT_EQ(
        as<IPersistPropertyBag>(object.get(), IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE),
        S_OK);
    EXPECT_EQ(bag.namesWritten(), (std::vector<std::wstring>{L"_cx", L"_cy", L"DisplayCode"}));
    EXPECT_EQ(bag.held(L"_cx"), (std::pair<VARTYPE, LONG>{VT_UI4, 5080}));
    EXPECT_EQ(bag.held(L"_cy"), (std::pair<VARTYPE, LONG>{VT_UI4, 5080}));
    EXPECT_EQ(bag.held(L"DisplayCode"), (std::pair<VARTYPE, LONG>{VT_I2, 0}));
    EXPECT_EQ(codeWindows.created(), 0);
}

TEST_F(LumoCodeObject, LoadingFromAPropertyBagPutsTheDisplayCodeAndSendsItOnce) {
    MemoryPropertyBag bag;
    bag.put(L"_cx", VT_UI4, 1200);
    bag.put(L"_cy", VT_UI4, 3400);
    bag.put(L"DisplayCode", VT_I2, 2);
    CodeWindowCounter codeWindows;
    ComPtr<IUnknown> object = create();
    EXPECT_EQ(as<IPersistPropertyBag>(object.get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
              S_OK);
    EXPECT_EQ(codeWindows.created(), 1);
    EXPECT_EQ(controller.currentCode, 2);
    EXPECT_EQ(controller.reverse, 1);
    EXPECT_EQ(displayCodeOf(object.get()), 2);
    EXPECT_EQ(extentOf(object.get()), Extent(1200, 3400));
}

TEST_F(LumoCodeObject, AStreamKeepsTheExtentAndTheDisplayCodeForTheNextLoad) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    {
        ComPtr<IUnknown> saved = create();
        setExtent(saved.get(), {2540, 1270});
        as<ILumoCode>(saved.get(), IID_ILumoCode)->put_DisplayCode(LcdMode2);
        auto persist = as<IPersistStreamInit>(saved.get(), IID_IPersistStreamInit);
        EXPECT_EQ(persist->IsDirty(), S_OK);
        ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
        EXPECT_EQ(persist->IsDirty(), S_FALSE);
        ULARGE_INTEGER size{};
        persist->GetSizeMax(&size);
        ULARGE_INTEGER written{};
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &written);
        EXPECT_EQ(size.QuadPart, written.QuadPart);
    }
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    SetUp();
    CodeWindowCounter codeWindows;
    ComPtr<IUnknown> loaded = create();
    EXPECT_EQ(as<IPersistStreamInit>(loaded.get(), IID_IPersistStreamInit)->Load(stream.get()),
              S_OK);
    EXPECT_EQ(codeWindows.created(), 1);
    EXPECT_EQ(controller.lcdMode, 2);
    EXPECT_EQ(displayCodeOf(loaded.get()), LcdMode2);
    EXPECT_EQ(extentOf(loaded.get()), Extent(2540, 1270));
}

TEST_F(LumoCodeObject, InitNewSendsNothingAndAStreamOfANewControlHoldsDisplayCodeZero) {
    CodeWindowCounter codeWindows;
    ComPtr<IUnknown> fresh = create();
    auto persist = as<IPersistStreamInit>(fresh.get(), IID_IPersistStreamInit);
    EXPECT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(displayCodeOf(fresh.get()), 0);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), FALSE), S_OK);

    ComPtr<IUnknown> changed = create();
    setExtent(changed.get(), {100, 200});
    as<ILumoCode>(changed.get(), IID_ILumoCode)->put_DisplayCode(7);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(as<IPersistStreamInit>(changed.get(), IID_IPersistStreamInit)->Load(stream.get()),
              S_OK);
    EXPECT_EQ(displayCodeOf(changed.get()), 0);
    EXPECT_EQ(extentOf(changed.get()), twoInches);
    EXPECT_EQ(codeWindows.created(), 1) << "only the put of 7 paints: command 0 is no command";
}

TEST(ServerLockCount, NeverFallsBelowOneOnceUsedWhateverTheOrderOfLocksAndUnlocks) {
    initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
    {
        ComPtr<IUnknown> first;
        ComPtr<IUnknown> second;
        createLumoCode(IID_IUnknown, first.putVoid());
        createLumoCode(IID_IUnknown, second.putVoid());
        EXPECT_EQ(serverModule.lockCount, 2) << "each object holds a lock while it lives";
    }
    EXPECT_EQ(serverModule.lockCount, 1) << "the objects' release";

    initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
    ClassFactory factory(createLumoCode);
    // Each call and the count after it; the first unlock comes before any lock.
    const std::pair<BOOL, LONG> calls[] = {{FALSE, 0}, {TRUE, 1}, {FALSE, 1}, {FALSE, 1},
                                           {TRUE, 2},  {TRUE, 3}, {FALSE, 2}, {FALSE, 1},
                                           {FALSE, 1}, {TRUE, 2}};
    for (size_t call = 0; call < std::size(calls); ++call) {
        EXPECT_EQ(factory.LockServer(calls[call].first), S_OK);
        EXPECT_EQ(serverModule.lockCount, calls[call].second) << "after call " << call;
    }

    ComPtr<IUnknown> aggregated;
    IUnknown* outer = reinterpret_cast<IUnknown*>(&factory);
    EXPECT_EQ(factory.CreateInstance(outer, IID_IUnknown, aggregated.putVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(aggregated);
}

std::wstring text(BSTR value) {
    std::wstring copy = value ? value : L"";
    SysFreeString(value);
    return copy;
}

using Documentation = std::pair<std::wstring, std::wstring>;

// The name and the help string that a library or a type gives for itself.
template <class Described> Documentation documentationOf(Described* described) {
    BSTR name = nullptr;
    BSTR help = nullptr;
    described->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr);
    return {text(name), text(help)};
}

// A vtable slot is one pointer wide; the type library is built for the program's word size.
constexpr short slotSize = sizeof(void*);
constexpr SYSKIND ownSystemKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

struct ExpectedMember {
    MEMBERID memid;
    INVOKEKIND kind;
    short vtableSlot; // after the seven methods of IDispatch
    const wchar_t* help;
    VARTYPE parameter; // VT_EMPTY: none
    VARTYPE pointedTo; // for a VT_PTR parameter
    USHORT parameterFlags;
};

TEST(TypeLibrary, DescribesTheLibraryTheClassAndTheDualInterfaceInSlotOrder) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLib(path, library.put()), S_OK);
    TLIBATTR* libraryAttributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(libraryAttributes->guid, guidOf(libraryIdText)));
    EXPECT_EQ(libraryAttributes->lcid, 0x0409u);
    EXPECT_EQ(libraryAttributes->syskind, ownSystemKind);
    EXPECT_EQ(libraryAttributes->wMajorVerNum, 1);
    EXPECT_EQ(libraryAttributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(libraryAttributes);
    EXPECT_EQ(documentationOf(library.get()),
              Documentation(L"ZEZIZERLib", L"ZEZIZER 1.0 Type Library"));

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(guidOf(classIdText), coclass.put()), S_OK);
    EXPECT_EQ(documentationOf(coclass.get()), Documentation(L"LumoCode", L"LumoCode Class"));
    TYPEATTR* classAttributes = nullptr;
    coclass->GetTypeAttr(&classAttributes);
    EXPECT_EQ(classAttributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(classAttributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(classAttributes->cImplTypes, 1);
    coclass->ReleaseTypeAttr(classAttributes);
    INT implementationFlags = 0;
    coclass->GetImplTypeFlags(0, &implementationFlags);
    EXPECT_TRUE(implementationFlags & IMPLTYPEFLAG_FDEFAULT);

    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(library->GetTypeInfoOfGuid(guidOf(interfaceIdText), dispatch.put()), S_OK);
    EXPECT_EQ(documentationOf(dispatch.get()), Documentation(L"ILumoCode", L"ILumoCode Interface"));
    TYPEATTR* dispatchAttributes = nullptr;
    dispatch->GetTypeAttr(&dispatchAttributes);
    const WORD dispatchable = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(dispatchAttributes->wTypeFlags & dispatchable, dispatchable);
    dispatch->ReleaseTypeAttr(dispatchAttributes);

    HREFTYPE vtableReference = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &vtableReference), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(vtableReference, vtable.put()), S_OK);
    const ExpectedMember members[] = {
        {1, INVOKE_FUNC, 7, L"method SendCode", VT_I2, VT_EMPTY, PARAMFLAG_FIN},
        {2, INVOKE_PROPERTYGET, 8, L"property DisplayCode", VT_PTR, VT_I2,
         PARAMFLAG_FOUT | PARAMFLAG_FRETVAL},
        {2, INVOKE_PROPERTYPUT, 9, L"property DisplayCode", VT_I2, VT_EMPTY, PARAMFLAG_FIN},
        {3, INVOKE_FUNC, 10, L"method TestDialog", VT_EMPTY, VT_EMPTY, 0},
    };
    TYPEATTR* vtableAttributes = nullptr;
    vtable->GetTypeAttr(&vtableAttributes);
    EXPECT_EQ(vtableAttributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(vtableAttributes->cFuncs, 4);
    const WORD automation = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION;
    EXPECT_EQ(vtableAttributes->wTypeFlags & automation, automation);
    vtable->ReleaseTypeAttr(vtableAttributes);
    for (UINT slot = 0; slot < std::size(members); ++slot) {
        const ExpectedMember& expected = members[slot];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(slot, &function), S_OK);
        EXPECT_EQ(function->memid, expected.memid) << "slot " << slot;
        EXPECT_EQ(function->invkind, expected.kind) << "slot " << slot;
        EXPECT_EQ(function->oVft, expected.vtableSlot * slotSize) << "slot " << slot;
        EXPECT_EQ(function->callconv, CC_STDCALL) << "slot " << slot;
        EXPECT_EQ(function->wFuncFlags, 0) << "slot " << slot;
        EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT) << "slot " << slot;
        EXPECT_EQ(function->cParams, expected.parameter == VT_EMPTY ? 0 : 1) << "slot " << slot;
        if (function->cParams == 1) {
            const ELEMDESC& parameter = function->lprgelemdescParam[0];
            EXPECT_EQ(parameter.tdesc.vt, expected.parameter) << "slot " << slot;
            if (expected.parameter == VT_PTR) {
                EXPECT_EQ(parameter.tdesc.lptdesc->vt, expected.pointedTo) << "slot " << slot;
            }
            EXPECT_EQ(parameter.paramdesc.wParamFlags, expected.parameterFlags) << "slot " << slot;
        }
        vtable->ReleaseFuncDesc(function);
        BSTR help = nullptr;
        vtable->GetDocumentation(expected.memid, nullptr, &help, nullptr, nullptr);
        EXPECT_EQ(text(help), expected.help) << "slot " << slot;
    }
    BSTR names[2] = {};
    UINT count = 0;
    vtable->GetNames(1, names, 2, &count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(text(names[0]), L"SendCode");
    EXPECT_EQ(text(names[1]), L"codeValue");
}

} // namespace
