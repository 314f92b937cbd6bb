#include "support/child_process.h"

#include "support/wait.h"

#include <utility>

namespace {

constexpr DWORD terminatedMs = 10000;

std::string newTemporaryFile() {
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "zt", 0, path);
    return path;
}

HANDLE inheritableWriter(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string contentsOf(const std::string& path) {
    const Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

} // namespace

std::string commandLineOf(const std::string& program, const std::string& arguments) {
    std::string line = "\"";
    line += program;
    line += "\" ";
    line += arguments;
    return line;
}

std::wstring wideOfAnsi(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

ChildProcess::ChildProcess(const std::string& commandLine, const std::string& folder,
                           const std::string& desktop)
    : ChildProcess(wideOfAnsi(commandLine), wideOfAnsi(folder), wideOfAnsi(desktop)) {}

ChildProcess::ChildProcess(std::wstring commandLine, const std::wstring& folder,
                           std::wstring desktop)
    : outputPath_(newTemporaryFile()), errorsPath_(newTemporaryFile()) {
    const Handle output(inheritableWriter(outputPath_));
    const Handle errors(inheritableWriter(errorsPath_));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.get();
    startup.hStdError = errors.get();
    if (!desktop.empty())
        startup.lpDesktop = desktop.data();
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        CloseHandle(process.hThread);
        process_ = Handle(process.hProcess);
        processId_ = process.dwProcessId;
    }
}

ChildProcess::~ChildProcess() {
    terminate();
    DeleteFileA(outputPath_.c_str());
    DeleteFileA(errorsPath_.c_str());
}

bool ChildProcess::running() const {
    return started() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ChildProcess::waitForExit(DWORD timeoutMs,
                                               const std::function<void()>& meanwhile) {
    const bool ended = waitUntil(
        [&] {
            if (meanwhile)
                meanwhile();
            return !running();
        },
        timeoutMs);
    DWORD code = 0;
    if (!started() || !ended || !GetExitCodeProcess(process_.get(), &code))
        return std::nullopt;
    return code;
}

void ChildProcess::terminate() {
    if (!started())
        return;
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), terminatedMs);
    }
    process_.reset();
}

std::string ChildProcess::output() const {
    return contentsOf(outputPath_);
}

std::string ChildProcess::errors() const {
    return contentsOf(errorsPath_);
}
