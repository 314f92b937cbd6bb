// The helper of run-tests.cmd for the steps a batch file cannot do safely: telling the system it
// runs on, ending controllers politely and whatever the kit left running, and reading the test
// programs' XML results into the summary.
//
//   testkit system                 the system's lines of the summary
//   testkit run PROGRAM XML        runs a test program with its results to XML; one that has not
//                                  ended after ten minutes is ended, with exit code 258
//   testkit stop KIT_FOLDER        ends every controller (WM_CLOSE, as the installer does) and
//                                  every program of the kit folder; prints the paths of the
//                                  controllers that ran from elsewhere, to be started again
//   testkit summary RESULTS FILE   appends each program's results to FILE and prints the totals
//   testkit same FILE FILE         exit code 0 when both files hold the same bytes (Wine's fc
//                                  finds no difference in any two files)

#include "common/handle.h"
#include "common/names.h"
#include "support/test_host.h"
#include "support/wait.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD controllerEndsMs = 15000;
constexpr DWORD forcedEndMs = 5000;
constexpr int defaultDpi = 96;
constexpr char versionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr DWORD testProgramEndsMs = 10 * 60 * 1000;
constexpr DWORD timedOutExitCode = WAIT_TIMEOUT;
constexpr char exitCodeExtension[] = ".exit";
constexpr char resultsExtension[] = ".xml";

// --- the system -------------------------------------------------------------------------------

std::string versionText(const char* name) {
    char text[256] = {};
    DWORD size = sizeof(text);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, versionKey, name, RRF_RT_REG_SZ, nullptr, text, &size))
        return {};
    return text;
}

DWORD versionNumber(const char* name) {
    DWORD number = 0;
    DWORD size = sizeof(number);
    RegGetValueA(HKEY_LOCAL_MACHINE, versionKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size);
    return number;
}

// The version as the kernel tells it: GetVersionEx answers what the manifest declares.
OSVERSIONINFOW kernelVersion() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto found = reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion"));
    if (auto get = reinterpret_cast<RtlGetVersion>(found))
        get(&version);
    return version;
}

bool on64BitWindows() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int printSystem() {
    // Without it the system answers 96 dpi on a scaled display.
    SetProcessDPIAware();
    const OSVERSIONINFOW version = kernelVersion();
    std::string name = versionText("ProductName");
    const std::string release = versionText("DisplayVersion").empty()
                                    ? versionText("ReleaseId")
                                    : versionText("DisplayVersion");
    if (!release.empty())
        name += " " + release;
    std::printf("Windows: %s, version %lu.%lu.%lu.%lu %ls\n", name.c_str(), version.dwMajorVersion,
                version.dwMinorVersion, version.dwBuildNumber, versionNumber("UBR"),
                version.szCSDVersion);
    if (const std::string wine = wineVersion(); !wine.empty())
        std::printf("Wine: %s\n", wine.c_str());
    std::printf("System: %s (the kit's programs run as 32-bit)\n",
                on64BitWindows() ? "64-bit" : "32-bit");
    std::printf("Administrator rights: %s\n",
                runsElevated() ? "yes (elevated)"
                               : "no (the tests that register the server for the whole machine "
                                 "are skipped)");
    const int dpi = systemDpi();
    std::printf("Display scaling: %d%% (%d dpi), screen %dx%d\n", dpi * 100 / defaultDpi, dpi,
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return 0;
}

// --- ending what runs -------------------------------------------------------------------------

std::string imageOf(HANDLE process) {
    char image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, image, &size))
        return {};
    return image;
}

bool inFolder(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                          static_cast<int>(folder.size()), folder.c_str(),
                          static_cast<int>(folder.size())) == CSTR_EQUAL;
}

std::string fullFolder(const char* folder) {
    char full[MAX_PATH];
    GetFullPathNameA(folder, MAX_PATH, full, nullptr);
    std::string path = full;
    if (path.back() != '\\')
        path += '\\';
    return path;
}

// Asks one controller to close, as the installer does: it answers with its Exit. One that does
// not end in time is ended by force. Its program's path, or empty when it could not be told.
std::string endController(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    Handle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                               FALSE, processId));
    const std::string image = process.get() ? imageOf(process.get()) : "";
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!process.get())
        waitUntil([&] { return !IsWindow(window); }, controllerEndsMs);
    else if (WaitForSingleObject(process.get(), controllerEndsMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), forcedEndMs);
    }
    return image;
}

// Ends every process whose program lies in the folder, but this one.
void endProgramsIn(const std::string& folder) {
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId())
            continue;
        Handle process(
            OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                        entry.th32ProcessID));
        if (process.get() && inFolder(imageOf(process.get()), folder)) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), forcedEndMs);
        }
    }
}

// The test program shares this console and output; a program that hangs (a dialog that never
// came to the front, say) must not hold up the rest of the run.
int runTestProgram(const char* program, const char* resultsPath) {
    std::string commandLine =
        std::string("\"") + program + "\" --gtest_output=xml:\"" + resultsPath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        std::printf("testkit: could not start %s (error %lu)\n", program, GetLastError());
        return 1;
    }
    CloseHandle(started.hThread);
    Handle process(started.hProcess);
    if (WaitForSingleObject(process.get(), testProgramEndsMs) != WAIT_OBJECT_0) {
        std::printf("testkit: %s did not end within %lu s and was ended\n", program,
                    testProgramEndsMs / 1000);
        std::fflush(stdout);
        TerminateProcess(process.get(), timedOutExitCode);
        WaitForSingleObject(process.get(), forcedEndMs);
    }
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

int stop(const char* kitFolder) {
    const std::string folder = fullFolder(kitFolder);
    // The kit's test programs first, so that none starts a controller again.
    endProgramsIn(folder);
    while (HWND window = FindWindowA(controllerWindowClass, nullptr)) {
        const std::string image = endController(window);
        if (!image.empty() && !inFolder(image, folder))
            std::printf("%s\n", image.c_str());
        if (FindWindowA(controllerWindowClass, nullptr) == window)
            return 1;
    }
    endProgramsIn(folder);
    return 0;
}

// --- the results ------------------------------------------------------------------------------

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// An attribute's text with the XML escapes undone.
std::string unescaped(const std::string& text) {
    static const struct {
        const char* escape;
        char character;
    } named[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string plain;
    for (size_t at = 0; at < text.size();) {
        bool replaced = false;
        for (const auto& entry : named)
            if (text.compare(at, strlen(entry.escape), entry.escape) == 0) {
                plain += entry.character;
                at += strlen(entry.escape);
                replaced = true;
            }
        if (!replaced && text.compare(at, 3, "&#x") == 0 && text.find(';', at) != text.npos) {
            const size_t end = text.find(';', at);
            plain += static_cast<char>(std::stoi(text.substr(at + 3, end - at - 3), nullptr, 16));
            at = end + 1;
        } else if (!replaced) {
            plain += text[at++];
        }
    }
    return plain;
}

std::string attribute(const std::string& element, const char* name) {
    const std::string opening = std::string(" ") + name + "=\"";
    const size_t start = element.find(opening);
    if (start == element.npos)
        return {};
    const size_t begin = start + opening.size();
    return unescaped(element.substr(begin, element.find('"', begin) - begin));
}

struct ProgramResults {
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    std::string failures; // the failed cases with their messages, indented
};

void addTestCase(const std::string& start, const std::string& body, ProgramResults& results) {
    if (attribute(start, "status") == "notrun")
        return;
    if (body.find("<failure ") == body.npos) {
        ++(attribute(start, "result") == "skipped" ? results.skipped : results.passed);
        return;
    }
    ++results.failed;
    results.failures +=
        "    FAILED " + attribute(start, "classname") + "." + attribute(start, "name") + "\n";
    for (size_t at = body.find("<failure "); at != body.npos; at = body.find("<failure ", at + 1)) {
        std::istringstream message(attribute(body.substr(at, body.find('>', at) - at), "message"));
        for (std::string line; std::getline(message, line);)
            results.failures += "      " + line + "\n";
    }
}

ProgramResults resultsOf(const std::string& xml) {
    ProgramResults results;
    for (size_t at = xml.find("<testcase "); at != xml.npos; at = xml.find("<testcase ", at + 1)) {
        const size_t startEnd = xml.find('>', at);
        if (startEnd == xml.npos)
            break;
        const std::string start = xml.substr(at, startEnd - at);
        const bool empty = xml[startEnd - 1] == '/';
        const size_t bodyEnd = empty ? startEnd : xml.find("</testcase>", startEnd);
        addTestCase(start, xml.substr(startEnd, bodyEnd - startEnd), results);
    }
    return results;
}

// One program's results from its XML file and its exit code: a program that wrote no results or
// ended with an error although all its tests passed counts as one failure.
ProgramResults programResults(const std::string& base) {
    const std::string exitCode = fileText(base + exitCodeExtension);
    const std::string xml = fileText(base + resultsExtension);
    ProgramResults results = resultsOf(xml);
    const int code = std::atoi(exitCode.c_str());
    if (code == static_cast<int>(timedOutExitCode)) {
        ++results.failed;
        results.failures += "    FAILED: it did not end within " +
                            std::to_string(testProgramEndsMs / 1000) + " s and was ended\n";
    } else if (xml.find("</testsuites>") == xml.npos) {
        ++results.failed;
        results.failures += "    FAILED: it ended with exit code " + std::to_string(code) +
                            " without writing its results (a crash or an interrupted run)\n";
    } else if (code != 0 && results.failed == 0) {
        ++results.failed;
        results.failures += "    FAILED: its tests passed but it ended with exit code " +
                            std::to_string(code) + "\n";
    }
    return results;
}

std::string totalsLine(const ProgramResults& totals) {
    return std::to_string(totals.passed) + " passed, " + std::to_string(totals.failed) +
           " failed, " + std::to_string(totals.skipped) + " skipped";
}

// The programs that ran, by name: each left NAME.exit in the folder.
std::vector<std::string> programsRun(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*" + exitCodeExtension).c_str(), &entry);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &entry)) {
        const std::string name = entry.cFileName;
        names.push_back(name.substr(0, name.size() - strlen(exitCodeExtension)));
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

int summary(const char* resultsFolder, const char* summaryPath) {
    const std::string folder = fullFolder(resultsFolder);
    std::ofstream out(summaryPath, std::ios::app | std::ios::binary);
    ProgramResults totals;
    for (const std::string& name : programsRun(folder)) {
        const ProgramResults results = programResults(folder + name);
        out << name << ": " << totalsLine(results) << "\r\n";
        std::istringstream failures(results.failures);
        for (std::string line; std::getline(failures, line);)
            out << line << "\r\n";
        totals.passed += results.passed;
        totals.failed += results.failed;
        totals.skipped += results.skipped;
    }
    const std::string line = totalsLine(totals);
    out << line << "\r\n";
    std::printf("%s\n", line.c_str());
    return totals.failed == 0 ? 0 : 1;
}

int same(const char* first, const char* second) {
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    return a && b && fileText(first) == fileText(second) ? 0 : 1;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: testkit system | run PROGRAM XML | stop KIT_FOLDER | summary RESULTS FILE | "
        "same FILE FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "system" && argc == 2)
        return printSystem();
    if (command == "run" && argc == 4)
        return runTestProgram(argv[2], argv[3]);
    if (command == "stop" && argc == 3)
        return stop(argv[2]);
    if (command == "summary" && argc == 4)
        return summary(argv[2], argv[3]);
    if (command == "same" && argc == 4)
        return same(argv[2], argv[3]);
    return usage();
}
