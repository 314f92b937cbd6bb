// Hostile input from every side that reaches the controller: late-bound calls of every shape
// against the running controller, clients that crash or never let go, damaged persisted
// controls, and command lines of every kind.

#include "app/command_line.h"
#include "code/controller_state.h"
#include "server/lumo_code.h"
#include "support/child_process.h"
#include "support/code_on_screen.h"
#include "support/in_process_server.h"
#include "support/out_of_process_server.h"
#include "zezizer.h"

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr DWORD clientCallingMs = 10000;

// An answer that says the call never reached a living server, or the server died in it.
bool serverLost(HRESULT result) {
    return HRESULT_FACILITY(result) == FACILITY_RPC || result == RPC_E_DISCONNECTED ||
           result == CO_E_OBJNOTCONNECTED || result == RPC_E_SERVERFAULT;
}

VARIANT argumentOf(VARTYPE type, void* byReference = nullptr) {
    VARIANT argument{};
    V_VT(&argument) = type;
    if (type & VT_BYREF)
        V_BYREF(&argument) = byReference;
    return argument;
}

// The automation types that a VARIANT can carry by value.
std::vector<VARTYPE> variantTypes() {
    std::vector<VARTYPE> types;
    for (VARTYPE type = VT_EMPTY; type <= VT_UINT; ++type)
        if (type != 15) // no type has this number
            types.push_back(type);
    return types;
}

class HostileClients : public OutOfProcessServer {
  protected:
    // A fresh client still gets S_OK from SendCode and the code on the screen.
    static void expectStillFlashes(short command) {
        waitForNoCodeWindows(controllerProcess());
        auto object = createInController<ILumoCode>(IID_ILumoCode);
        ASSERT_TRUE(object);
        EXPECT_EQ(object->SendCode(command), S_OK);
        EXPECT_TRUE(codeAppears(command));
    }
};

TEST_F(HostileClients, InvokeOfEveryShapeGetsSOkOrAnErrorCodeAndTheServerStaysUp) {
    auto object = createInController<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(object);
    const WORD flagSets[] = {DISPATCH_METHOD,         DISPATCH_PROPERTYGET,
                             DISPATCH_PROPERTYPUT,    DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                             DISPATCH_PROPERTYPUTREF, 0};
    int calls = 0;
    for (DISPID member = -10; member <= 10; ++member)
        for (WORD flags : flagSets)
            for (size_t count = 0; count <= 3; ++count) {
                std::vector<VARIANT> arguments(count, argumentOf(VT_I2));
                const HRESULT result = invoke(object.get(), member, flags, arguments);
                ++calls;
                ASSERT_FALSE(serverLost(result)) << member << " " << flags << " " << count;
                EXPECT_TRUE(result == S_OK || FAILED(result)) << std::hex << result;
                if (member < 1 || member > 3) {
                    EXPECT_EQ(result, DISP_E_MEMBERNOTFOUND) << member;
                }
            }

    BYTE zeroes[32] = {};
    for (VARTYPE type : variantTypes())
        for (VARTYPE reference : {VARTYPE(0), VARTYPE(VT_BYREF)}) {
            if (reference && type <= VT_NULL)
                continue; // a reference to nothing is no VARIANT
            std::fill(std::begin(zeroes), std::end(zeroes), 0);
            const HRESULT result =
                invoke(object.get(), 1, DISPATCH_METHOD, {argumentOf(type | reference, zeroes)});
            ++calls;
            ASSERT_FALSE(serverLost(result)) << "type " << type << " " << reference;
            EXPECT_TRUE(result == S_OK || FAILED(result)) << "type " << type << std::hex << result;
        }

    VARIANT tooLarge = argumentOf(VT_I4);
    V_I4(&tooLarge) = 70000;
    EXPECT_EQ(invoke(object.get(), 1, DISPATCH_METHOD, {tooLarge}), DISP_E_OVERFLOW);
    VARIANT huge = argumentOf(VT_R8);
    V_R8(&huge) = 1e300;
    EXPECT_EQ(invoke(object.get(), 2, DISPATCH_PROPERTYPUT, {huge}, {DISPID_PROPERTYPUT}),
              DISP_E_OVERFLOW);
    VARIANT text = argumentOf(VT_BSTR);
    V_BSTR(&text) = SysAllocString(L"not a number");
    EXPECT_EQ(invoke(object.get(), 1, DISPATCH_METHOD, {text}), DISP_E_TYPEMISMATCH);
    SysFreeString(V_BSTR(&text));
    for (DISPID name : {0, 1, 5, -1, DISPID_PROPERTYPUT}) {
        const HRESULT result =
            invoke(object.get(), 1, DISPATCH_METHOD, {argumentOf(VT_I2)}, {name});
        ++calls;
        ASSERT_FALSE(serverLost(result)) << "named " << name;
        EXPECT_TRUE(result == S_OK || FAILED(result)) << "named " << name;
    }
    std::printf("%d late-bound calls of bad shapes\n", calls);
    expectStillFlashes(LcdMode1);
}

// The event through which a client's helper says that it is calling.
struct CallingEvent {
    explicit CallingEvent(const std::string& name)
        : name(name), handle(CreateEventA(nullptr, TRUE, FALSE, name.c_str())) {}
    ~CallingEvent() { CloseHandle(handle); }
    CallingEvent(const CallingEvent&) = delete;
    CallingEvent& operator=(const CallingEvent&) = delete;

    std::string name;
    HANDLE handle;
};

// A client's helper process that calls without end or keeps its object without end; its event
// is made before it starts.
class ClientProcess : private CallingEvent, public ChildProcess {
  public:
    explicit ClientProcess(const std::string& mode)
        : CallingEvent("bad-input-client-" + std::to_string(GetTickCount()) + mode),
          ChildProcess(commandLineOf(testProgramFolder() + "lumostress.exe", mode + " " + name)) {}

    bool calling() const { return WaitForSingleObject(handle, clientCallingMs) == WAIT_OBJECT_0; }
};

TEST_F(HostileClients, AClientKilledInACallAndOneThatNeverLetsGoLeaveTheControllerWorking) {
    ClientProcess holder("hold");
    ASSERT_TRUE(holder.calling());
    ClientProcess caller("call-forever");
    ASSERT_TRUE(caller.calling());
    // In the middle of its calls: it makes one after the other without a pause.
    caller.terminate();
    expectStillFlashes(StereoReverse);
    holder.terminate();
    expectStillFlashes(LcdModeOff);
}

// A stream that the control saved: "_cx" and "_cy" 5080 as VT_UI4, "DisplayCode" 5 as VT_I2.
const std::vector<BYTE> savedControl = {0x13, 0,    0xD8, 0x13, 0,    0, 0x13, 0,
                                        0xD8, 0x13, 0,    0,    0x02, 0, 0x05, 0};

ComPtr<IStream> streamOf(const std::vector<BYTE>& bytes) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return stream;
}

// A property bag that answers every read with whatever it was told to, of any type.
class HostilePropertyBag final : public IPropertyBag {
  public:
    HostilePropertyBag(VARTYPE type, HRESULT answer) : type_(type), answer_(answer) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_IUnknown || iid == IID_IPropertyBag ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT* value, IErrorLog*) override {
        VariantInit(value);
        V_VT(value) = type_;
        if (type_ == VT_BSTR)
            V_BSTR(value) = SysAllocString(L"garbage");
        else if (type_ == VT_R8)
            V_R8(value) = -1e300;
        else
            V_I4(value) = -1;
        return answer_;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_FAIL; }

  private:
    VARTYPE type_;
    HRESULT answer_;
};

class DamagedControls : public InProcessServer {
  protected:
    void TearDown() override { closeCodeWindows(); }
    template <class Interface> static ComPtr<Interface> create(const IID& iid) {
        ComPtr<Interface> object;
        EXPECT_EQ(createLumoCode(iid, object.putVoid()), S_OK);
        return object;
    }
};

TEST_F(DamagedControls, TruncatedAndRandomStreamsAreRefusedWithAnErrorCode) {
    auto persist = create<IPersistStreamInit>(IID_IPersistStreamInit);
    ASSERT_TRUE(persist);
    ASSERT_EQ(persist->Load(streamOf(savedControl).get()), S_OK);
    EXPECT_EQ(controller.lcdMode, 1) << "the whole stream loads and sends command 5";
    for (size_t length = 0; length < savedControl.size(); ++length) {
        const std::vector<BYTE> truncated(savedControl.begin(), savedControl.begin() + length);
        EXPECT_TRUE(FAILED(persist->Load(streamOf(truncated).get()))) << length << " bytes";
    }
    std::mt19937 random(9);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> length(0, 40);
    int accepted = 0;
    for (int stream = 0; stream < 2000; ++stream) {
        std::vector<BYTE> garbage(length(random));
        std::generate(garbage.begin(), garbage.end(), [&] { return BYTE(byte(random)); });
        const HRESULT result = persist->Load(streamOf(garbage).get());
        ASSERT_TRUE(result == S_OK || FAILED(result)) << std::hex << result;
        accepted += result == S_OK;
    }
    std::printf("%d of 2000 random streams loaded\n", accepted);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

TEST_F(DamagedControls, PropertyBagsOfEveryTypeAndAnswerGetSOkOrAnErrorCode) {
    auto persist = create<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_TRUE(persist);
    for (VARTYPE type : variantTypes())
        for (HRESULT answer : {S_OK, E_FAIL, E_INVALIDARG, S_FALSE}) {
            if (type == VT_DISPATCH || type == VT_UNKNOWN || type == VT_VARIANT)
                continue; // a bag cannot hand out such a value with a -1 pointer
            HostilePropertyBag bag(type, answer);
            const HRESULT result = persist->Load(&bag, nullptr);
            EXPECT_TRUE(result == S_OK || FAILED(result)) << type << " " << std::hex << result;
            if (FAILED(answer) && answer != E_INVALIDARG) {
                EXPECT_EQ(result, answer) << "a failed read ends the load with its code";
            }
        }
    EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);
}

// Whether the line ends in a separator and the switch name, in any case, read without the
// program's help (only for lines of ASCII characters, where no character has a second byte).
RegistrationSwitch switchInAsciiLine(const std::string& line) {
    auto endsIn = [&](const std::string& name) {
        if (line.size() <= name.size())
            return false;
        const size_t start = line.size() - name.size();
        if (line[start - 1] != '-' && line[start - 1] != '/')
            return false;
        return std::equal(name.begin(), name.end(), line.begin() + start, [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    };
    if (endsIn("UnregServer"))
        return RegistrationSwitch::Unregister;
    if (endsIn("RegServer"))
        return RegistrationSwitch::Register;
    return RegistrationSwitch::None;
}

TEST(BadCommandLines, RandomLinesFindOnlyASwitchThatEndsTheLine) {
    const std::string pieces[] = {"-",
                                  "/",
                                  " ",
                                  "\"",
                                  "RegServer",
                                  "unregserver",
                                  "REG",
                                  "Server",
                                  "C:\\a-b\\ZEZIZER.exe",
                                  "x",
                                  "\xE6\x97\xA5",
                                  "\x81",
                                  "\xFF"};
    std::mt19937 random(3);
    std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<size_t> pieceCount(0, 60);
    int switches = 0;
    for (int line = 0; line < 20000; ++line) {
        std::string text;
        for (size_t count = pieceCount(random); count; --count)
            text += pieces[piece(random)];
        const RegistrationSwitch found = findRegistrationSwitch(text.c_str());
        const bool ascii = std::all_of(text.begin(), text.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 128; });
        if (ascii) {
            ASSERT_EQ(found, switchInAsciiLine(text)) << text;
        }
        switches += found != RegistrationSwitch::None;
    }
    std::printf("20000 random lines, %d with a switch\n", switches);
    EXPECT_EQ(findRegistrationSwitch(std::string(100000, '-').c_str()), RegistrationSwitch::None);
    EXPECT_EQ(findToken("", switchSeparators), nullptr);
}

TEST(BadCommandLines, TheRealProgramNeverCrashesOnAdversarialLines) {
    CoInitialize(nullptr);
    removeServerKeys();
    const std::string adversarial[] = {
        std::string(30000, '-'),
        std::string(10000, '/') + "RegServer" + std::string(10000, ' '),
        "-/-/-/-/",
        "/RegServer trailing text",
        "-UnregServerX",
        "\xE6\x97\xA5\xE6\x9C\xAC-\xC3\xB1/\xE2\x80\x94",
        "\"-RegServer\"",
        std::string(5000, '\xE6'),
    };
    {
        ControllerProcess first(adversarial[0]);
        ASSERT_NE(first.waitForMainWindow(), nullptr) << "a first copy starts normally";
        for (const std::string& line : adversarial) {
            bool mainWindowSeen = true;
            ControllerProcess second(line);
            ASSERT_TRUE(second.started()) << line.substr(0, 40);
            EXPECT_EQ(second.waitForExit(20000, &mainWindowSeen), 0u) << line.substr(0, 40);
            EXPECT_FALSE(mainWindowSeen) << "a second copy shows nothing";
        }
        EXPECT_TRUE(first.running());
        EXPECT_EQ(first.exit(), 0u);
    }
    removeServerKeys();
    CoUninitialize();
}

} // namespace
