// lumosend: switches the glasses from a command line, a batch file or a game launcher, through
// the running controller's automation class ZEZIZER.LumoCode.

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

constexpr wchar_t progId[] = L"ZEZIZER.LumoCode";

enum ExitCode : int {
    ExitDone = 0,
    ExitUsage = 2,
    ExitNotRegistered = 3,
    ExitUnreachable = 4,
};

struct NamedCommand {
    std::string_view name;
    short value;
};

constexpr NamedCommand namedCommands[] = {
    {"stereo-normal", 1}, {"stereo-reverse", 2}, {"stereo-resync", 3}, {"stereo-on", 4},
    {"lcd1", 5},          {"lcd2", 6},           {"lcd-off", 7},       {"stereo-off", 1000},
};

constexpr char usage[] =
    "usage: lumosend [--display-code] COMMAND\n"
    "\n"
    "Sends one command to the glasses through the running Lumo Controller.\n"
    "COMMAND is one of\n"
    "  stereo-normal   stereo on, normal eye order (interleaved)\n"
    "  stereo-reverse  stereo on, reversed eye order (interleaved)\n"
    "  stereo-resync   stereo on / resync (page flip)\n"
    "  stereo-on       stereo on (over/under)\n"
    "  stereo-off      stereo off\n"
    "  lcd1, lcd2, lcd-off   the glasses' LCD mode\n"
    "  NUMBER          any command number from -32768 to 32767\n"
    "\n"
    "  --display-code  set the DisplayCode property instead of calling SendCode\n"
    "  --help          show this text\n"
    "\n"
    "Exit codes: 0 sent, 2 bad arguments, 3 ZEZIZER.LumoCode is not registered,\n"
    "4 the controller cannot be reached.\n";

std::optional<short> parseCommand(std::string_view text) {
    for (const NamedCommand& command : namedCommands)
        if (command.name == text)
            return command.value;
    char* end = nullptr;
    const long value = std::strtol(text.data(), &end, 10);
    if (text.empty() || *end != '\0' || value < SHRT_MIN || value > SHRT_MAX)
        return std::nullopt;
    return static_cast<short>(value);
}

struct Arguments {
    bool help = false;
    bool property = false;
    std::optional<short> command;
};

std::optional<Arguments> parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h" || argument == "/?")
            arguments.help = true;
        else if (argument == "--display-code")
            arguments.property = true;
        else if (!arguments.command && (arguments.command = parseCommand(argument)))
            continue;
        else
            return std::nullopt;
    }
    if (!arguments.help && !arguments.command)
        return std::nullopt;
    return arguments;
}

// Owns one COM interface pointer.
template <typename Interface> class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (pointer_)
            pointer_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* get() const { return pointer_; }
    Interface** put() { return &pointer_; }

  private:
    Interface* pointer_ = nullptr;
};

class ComApartment {
  public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }

  private:
    HRESULT result_;
};

HRESULT invoke(IDispatch* object, const wchar_t* member, bool propertyPut, short value) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    HRESULT result = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result))
        return result;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I2;
    argument.iVal = value;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{&argument, propertyPut ? &putId : nullptr, 1, propertyPut ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                          propertyPut ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD, &parameters,
                          nullptr, nullptr, nullptr);
}

int send(bool property, short command) {
    ComApartment apartment;
    CLSID classId;
    if (FAILED(CLSIDFromProgID(progId, &classId))) {
        std::fprintf(stderr, "lumosend: ZEZIZER.LumoCode is not registered; "
                             "run \"ZEZIZER.exe /RegServer\" once.\n");
        return ExitNotRegistered;
    }
    ComPtr<IDispatch> object;
    HRESULT result = CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(object.put()));
    if (SUCCEEDED(result))
        result = invoke(object.get(), property ? L"DisplayCode" : L"SendCode", property, command);
    if (FAILED(result)) {
        std::fprintf(stderr, "lumosend: cannot reach the Lumo Controller (error 0x%08lX).\n",
                     static_cast<unsigned long>(result));
        return ExitUnreachable;
    }
    return ExitDone;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Arguments> arguments = parseArguments(argc, argv);
    if (!arguments) {
        std::fputs(usage, stderr);
        return ExitUsage;
    }
    if (arguments->help) {
        std::fputs(usage, stdout);
        return ExitDone;
    }
    return send(arguments->property, *arguments->command);
}
