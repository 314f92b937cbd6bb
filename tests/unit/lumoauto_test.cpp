// lumoauto's rules: which rule a running program falls under, what goes out as listed programs
// come and go, the rules in the real registry beside the controller's settings, its command line,
// the watcher's decisions on made-up processes, and the threads that wait for programs to end
// and send the commands.

#include "lumoauto/command_line.h"
#include "lumoauto/rule_store.h"
#include "lumoauto/resource.h"
#include "lumoauto/rules.h"
#include "lumoauto/sender.h"
#include "lumoauto/switcher.h"
#include "lumoauto/waiter.h"
#include "lumoauto/watching.h"
#include "support/controller_process.h"
#include "support/import_patch.h"
#include "support/registry.h"
#include "support/wait.h"

#include "client/commands.h"
#include "common/names.h"
#include "common/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr short normal = 1, reverse = 2, resync = 3, off = 1000;
const std::string rulesKey = narrow(rulesKeyPath);
constexpr DWORD gameA = 100, gameB = 200;

Rule rule(const wchar_t* program, short command, When when = When::Running) {
    return {program, command, when, true};
}

TEST(LumoautoMatching, AFullPathRuleWinsOverANameRuleWhereverEachStands) {
    const std::vector<Rule> rules{rule(L"Game.exe", normal), rule(L"C:\\Games\\Game.exe", reverse),
                                  rule(L"Player.exe", resync)};
    EXPECT_EQ(ruleForProgram(rules, L"C:\\Games\\Game.exe")->command, reverse);
    EXPECT_EQ(ruleForProgram(rules, L"c:\\games\\GAME.EXE")->command, reverse);
    // The name rule stands for the name in any other folder.
    EXPECT_EQ(ruleForProgram(rules, L"D:\\Other\\game.exe")->command, normal);
    EXPECT_EQ(ruleForProgram(rules, L"C:\\Games\\Player.exe")->command, resync);
    EXPECT_EQ(ruleForProgram(rules, L"C:\\Games\\Game.exe.old"), nullptr);
    EXPECT_EQ(ruleForProgram(rules, L"C:\\Games\\MyGame.exe"), nullptr);
    EXPECT_TRUE(mayBeListed(rules, L"GAME.exe"));
    EXPECT_FALSE(mayBeListed(rules, L"Other.exe"));
}

TEST(LumoautoSwitching, TheMostRecentProgramsCommandThenOffOnlyAfterTheLast) {
    Switcher switcher;
    EXPECT_EQ(switcher.decide(), std::nullopt) << "nothing runs: nothing to send";
    switcher.claim(gameA, reverse, true);
    EXPECT_EQ(switcher.decide(), reverse);
    switcher.claim(gameB, normal, true);
    EXPECT_EQ(switcher.decide(), normal);
    // The older one ends: the newer one's command stands, nothing is sent.
    switcher.release(gameA);
    EXPECT_EQ(switcher.decide(), std::nullopt);
    switcher.claim(gameA, reverse, true);
    EXPECT_EQ(switcher.decide(), reverse);
    switcher.release(gameA);
    EXPECT_EQ(switcher.decide(), normal) << "the remaining one's command";
    switcher.release(gameB);
    EXPECT_EQ(switcher.decide(), off);
    switcher.release(gameB);
    EXPECT_EQ(switcher.decide(), std::nullopt) << "off once";
}

TEST(LumoautoSwitching, ClaimingAgainWhatIsWantedSendsNothing) {
    Switcher switcher;
    switcher.claim(gameA, reverse, true);
    EXPECT_EQ(switcher.decide(), reverse);
    // A program moving between its own windows, or two with the same command.
    for (int i = 0; i < 20; ++i) {
        switcher.claim(gameA, reverse, true);
        EXPECT_EQ(switcher.decide(), std::nullopt);
    }
    switcher.claim(gameB, reverse, true);
    EXPECT_EQ(switcher.decide(), std::nullopt);
    EXPECT_TRUE(switcher.claims(gameA));
    switcher.release(gameA);
    EXPECT_FALSE(switcher.claims(gameA));
}

TEST(LumoautoSwitching, AKeepOnRuleLeavesStereoOnAndTheNextStartSendsAgain) {
    Switcher switcher;
    switcher.claim(gameA, reverse, false);
    EXPECT_EQ(switcher.decide(), reverse);
    switcher.release(gameA);
    EXPECT_EQ(switcher.decide(), std::nullopt);
    // The user may have switched by hand meanwhile: the same command goes out again.
    switcher.claim(gameB, reverse, true);
    EXPECT_EQ(switcher.decide(), reverse);
    switcher.release(gameB);
    EXPECT_EQ(switcher.decide(), off);
}

std::vector<std::wstring> toldOf(Watching& watching) {
    std::vector<std::wstring> told;
    for (const Watching::Told& each : watching.takeTold())
        told.push_back(each.what + (each.command ? L" " + std::to_wstring(*each.command) : L""));
    return told;
}

TEST(LumoautoWatching, StartsEndsAndTheFrontOfMadeUpProcesses) {
    Watching watching;
    EXPECT_FALSE(watching.worthALook(gameA)) << "nothing listed: nothing is looked at";
    watching.setRules({rule(L"Game.exe", reverse), rule(L"Player.exe", normal, When::Front),
                       rule(L"Other.exe", resync)});
    const Rule* game = ruleForProgram(watching.rules(), L"C:\\Games\\Game.exe");
    ASSERT_NE(game, nullptr);
    watching.started(gameA, 20, L"C:\\Games\\Game.exe", *game, L"started");
    watching.started(gameB, 21, L"C:\\Player.exe", watching.rules()[1], L"started");
    watching.started(300, 22, L"C:\\Other.exe", watching.rules()[2], L"started");
    EXPECT_FALSE(watching.worthALook(gameA)) << "a watched process is not looked at again";
    watching.frontIs(gameB);
    watching.frontIs(gameA);
    EXPECT_EQ(toldOf(watching),
              (std::vector<std::wstring>{L"Game.exe started 2", L"Player.exe started",
                                         L"Other.exe started 3", L"Player.exe came to the front 1",
                                         L"Player.exe left the front 3"}));
    // Two programs dropped side by side, one kept.
    EXPECT_EQ(watching.setRules({rule(L"Other.exe", resync)}), (std::vector<WPARAM>{20, 21}));
    EXPECT_EQ(watching.watchedCount(), 1u);
    watching.ended(21);
    watching.ended(22);
    EXPECT_EQ(toldOf(watching), (std::vector<std::wstring>{L"Game.exe is no longer listed",
                                                           L"Player.exe is no longer listed",
                                                           L"Other.exe ended 1000"}));
}

TEST(LumoautoWatching, AProgramThatCannotBeWaitedOnIsToldOnceAndLookedAtAgainWhenRoomFrees) {
    Watching watching;
    watching.setRules({rule(L"Game.exe", reverse)});
    watching.started(gameA, 20, L"C:\\Game.exe", watching.rules()[0], L"started");
    watching.refused(gameB, L"D:\\Game.exe");
    EXPECT_EQ(toldOf(watching).back(),
              L"Game.exe runs but is not watched: no more programs can be watched at once");
    EXPECT_FALSE(watching.worthALook(gameB)) << "probed again on every window";
    EXPECT_TRUE(watching.ended(20));
    EXPECT_TRUE(watching.worthALook(gameB));
}

TEST(LumoautoRules, StoredSettingsReadBackAndDamagedOnesAreTold) {
    Rule read;
    std::string problem;
    for (const Rule& stored :
         {rule(L"a.exe", resync, When::Front), Rule{L"b.exe", normal, When::Running, false}}) {
        ASSERT_TRUE(parseStoredSettings(storedSettings(stored), read, problem)) << problem;
        EXPECT_EQ(std::make_tuple(read.command, read.when, read.offAfter),
                  std::make_tuple(stored.command, stored.when, stored.offAfter));
    }
    EXPECT_EQ(storedSettings(Rule{L"c.exe", reverse, When::Front, false}),
              L"stereo-reverse front keep-on");
    ASSERT_TRUE(parseStoredSettings(L"  stereo-on-resync   running off-after ", read, problem));
    EXPECT_EQ(read.command, resync);
    for (const auto& [text, said] : std::vector<std::pair<const wchar_t*, const char*>>{
             {L"stereo-off running off-after", "unknown command \"stereo-off\""},
             {L"lcd1 running off-after", "unknown command \"lcd1\""},
             {L"stereo-on later off-after", "unknown time \"later\""},
             {L"stereo-on front maybe", "neither off-after nor keep-on"},
             {L"stereo-on front", "not \"COMMAND WHEN OFF-AFTER\""},
             {L"", "not \"COMMAND WHEN OFF-AFTER\""}}) {
        EXPECT_FALSE(parseStoredSettings(text, read, problem)) << narrow(text);
        EXPECT_NE(problem.find(said), std::string::npos) << problem;
    }
}

TEST(LumoautoRules, AProgramIsAnExeAndAPathBecomesFull) {
    std::wstring program;
    std::string problem;
    ASSERT_TRUE(programOfArgument(L"Game.exe", program, problem));
    EXPECT_EQ(program, L"Game.exe");
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    ASSERT_TRUE(programOfArgument(L".\\Nowhere\\Game.EXE", program, problem));
    EXPECT_TRUE(sameText(program, std::wstring(folder) + L"\\Nowhere\\Game.EXE"))
        << narrow(program);
    EXPECT_FALSE(programFound({program, normal}));
    EXPECT_FALSE(programOfArgument(L"C:\\windows", program, problem));
    EXPECT_NE(problem.find("is a folder"), std::string::npos);
    EXPECT_FALSE(programOfArgument(L"C:\\windows\\win.ini", program, problem));
    EXPECT_NE(problem.find("not a program"), std::string::npos);
    EXPECT_FALSE(programOfArgument(L"Game", program, problem));
}

class LumoautoStore : public testing::Test {
  protected:
    void SetUp() override {
        deleteCorvaneKey();
        writeDword(testControllerKey, "Active", 1);
        writeText(testSettingsKey, "Mode", "kept");
    }
    void TearDown() override {
        // The controller's values are never touched.
        EXPECT_EQ(readDword(testControllerKey, "Active"), 1u);
        EXPECT_EQ(valueNames(testControllerKey), std::vector<std::string>{"Active"});
        EXPECT_EQ(valueNames(testSettingsKey), std::vector<std::string>{"Mode"});
        deleteCorvaneKey();
    }
};

TEST_F(LumoautoStore, ADamagedValueIsSkippedAndNamedAndEveryOtherRuleLoads) {
    std::optional<std::wstring> replaced;
    ASSERT_TRUE(storeRule(rule(L"Game.exe", reverse), replaced));
    ASSERT_TRUE(storeRule(rule(L"C:\\Games\\Player.exe", normal, When::Front), replaced));
    writeDword(rulesKey.c_str(), "C:\\Games\\Number.exe", 2);
    writeText(rulesKey.c_str(), "Garbage.exe", "switch it on please");
    // Text of the wrong kind, and text without its terminator.
    writeValue(rulesKey.c_str(), "Binary.exe", REG_BINARY, "stereo-on running off-after", 27);
    writeValue(rulesKey.c_str(), "Unended.exe", REG_SZ, "stereo-on front keep-on", 23);
    const StoredRules stored = loadRules();
    ASSERT_EQ(stored.rules.size(), 3u);
    std::vector<std::wstring> damaged;
    for (const DamagedRule& value : stored.damaged)
        damaged.push_back(value.program);
    std::sort(damaged.begin(), damaged.end());
    EXPECT_EQ(damaged,
              (std::vector<std::wstring>{L"Binary.exe", L"C:\\Games\\Number.exe", L"Garbage.exe"}));
    const Rule* unended = ruleForProgram(stored.rules, L"D:\\Unended.exe");
    ASSERT_NE(unended, nullptr);
    EXPECT_EQ(std::make_tuple(unended->command, unended->when, unended->offAfter),
              std::make_tuple(short{4}, When::Front, false));
}

TEST_F(LumoautoStore, ASecondRuleForAProgramReplacesTheFirstAndRemovingOneLeavesTheOthers) {
    std::optional<std::wstring> replaced;
    ASSERT_TRUE(storeRule(rule(L"Game.exe", reverse), replaced));
    EXPECT_EQ(replaced, std::nullopt);
    ASSERT_TRUE(storeRule(rule(L"Other.exe", normal), replaced));
    ASSERT_TRUE(storeRule(Rule{L"GAME.EXE", resync, When::Front, false}, replaced));
    EXPECT_EQ(replaced, L"stereo-reverse running off-after");
    StoredRules stored = loadRules();
    ASSERT_EQ(stored.rules.size(), 2u);
    EXPECT_EQ(ruleForProgram(stored.rules, L"C:\\game.exe")->command, resync);
    EXPECT_EQ(removeRule(L"game.exe"), Removed::Done);
    EXPECT_EQ(removeRule(L"game.exe"), Removed::NoRule);
    stored = loadRules();
    ASSERT_EQ(stored.rules.size(), 1u);
    EXPECT_EQ(stored.rules[0].program, L"Other.exe");
}

LONG WINAPI refusedSetValue(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI refusedDeleteValue(HKEY, LPCWSTR) {
    return ERROR_ACCESS_DENIED;
}

TEST_F(LumoautoStore, AFailedWriteKeepsTheRuleAndAFailedRemoveIsNoMissingRule) {
    std::optional<std::wstring> replaced;
    ASSERT_TRUE(storeRule(rule(L"Game.exe", reverse), replaced));
    {
        const ImportPatch refused("advapi32.dll", "RegSetValueExW",
                                  reinterpret_cast<void*>(refusedSetValue));
        ASSERT_TRUE(refused.active());
        EXPECT_FALSE(storeRule(rule(L"GAME.EXE", normal), replaced));
    }
    ASSERT_EQ(loadRules().rules.size(), 1u) << "the failed write lost the rule";
    EXPECT_EQ(loadRules().rules[0].command, reverse);
    const ImportPatch refused("advapi32.dll", "RegDeleteValueW",
                              reinterpret_cast<void*>(refusedDeleteValue));
    Invocation removing;
    std::string problem;
    ASSERT_TRUE(parseInvocation({L"--remove", L"Game.exe"}, removing, problem));
    const Answer answered = answer(removing);
    EXPECT_EQ(answered.exitCode, ExitNotStored);
    EXPECT_EQ(answered.errors,
              "lumoauto: the rule for Game.exe cannot be removed from the registry\n");
}

TEST(LumoautoIcon, LumoautoHasAnIconOfItsOwn) {
    HMODULE program = LoadLibraryExA((testProgramFolder() + "..\\lumoauto.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    EXPECT_NE(FindResourceA(program, MAKEINTRESOURCEA(IDI_LUMOAUTO), RT_GROUP_ICON), nullptr);
    FreeLibrary(program);
}

Invocation parsed(std::vector<std::wstring> words, std::string* problem = nullptr) {
    Invocation invocation;
    std::string said;
    EXPECT_EQ(parseInvocation(words, invocation, said), problem == nullptr) << said;
    if (problem)
        *problem = said;
    return invocation;
}

TEST(LumoautoCommandLine, OptionsMakeOneActionAndWhatDoesNotFitIsRefused) {
    EXPECT_EQ(parsed({}).action, Action::Window);
    EXPECT_EQ(parsed({L"--background"}).action, Action::Background);
    const Invocation add = parsed(
        {L"--add", L"Game.exe", L"--command", L"stereo-resync", L"--when", L"front", L"--keep-on"});
    EXPECT_EQ(std::make_tuple(add.action, add.program, add.command->value, add.when, add.keepOn),
              std::make_tuple(Action::Add, std::wstring(L"Game.exe"), resync, When::Front, true));
    EXPECT_TRUE(parsed({L"--list", L"--json"}).json);
    for (const wchar_t* help : {L"-h", L"--help", L"/?"})
        EXPECT_EQ(parsed({help}).action, Action::Help);
    std::string problem;
    for (const auto& [words, said] : std::vector<std::pair<std::vector<std::wstring>, const char*>>{
             {{L"--add", L"Game.exe"}, "--add needs --command"},
             {{L"--add", L"Game.exe", L"--command", L"stereo-off"}, "unknown command"},
             {{L"--list", L"--remove", L"Game.exe"}, "one of --add"},
             {{L"--remove"}, "--remove needs a value"},
             {{L"--json"}, "--json goes with --list"},
             {{L"--remove", L"x.exe", L"--keep-on"}, "go with --add"},
             {{L"--wait"}, "unknown argument"}}) {
        parsed(words, &problem);
        EXPECT_NE(problem.find(said), std::string::npos) << problem;
    }
    EXPECT_EQ(refusal("why").exitCode, ExitUsage);
    EXPECT_NE(refusal("why").errors.find("usage: lumoauto"), std::string::npos);
}

// A message-only window that notes the ids the waiter posts (WM_APP) and takes the outcomes the
// sender posts (WM_APP + 1).
class PostedIds {
  public:
    PostedIds()
        : window_(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    }
    ~PostedIds() { DestroyWindow(window_); }
    PostedIds(const PostedIds&) = delete;
    PostedIds& operator=(const PostedIds&) = delete;

    HWND window() const { return window_; }
    std::vector<WPARAM> ids;
    std::vector<std::unique_ptr<Sent>> sent;

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* posted = reinterpret_cast<PostedIds*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_APP)
            posted->ids.push_back(wParam);
        else if (message == WM_APP + 1)
            posted->sent.emplace_back(reinterpret_cast<Sent*>(lParam));
        else
            return DefWindowProcA(window, message, wParam, lParam);
        return 0;
    }
    HWND window_;
};

HANDLE newEvent(bool manualReset) {
    return CreateEventA(nullptr, manualReset, FALSE, nullptr);
}

TEST(LumoautoWaiter, EachSignalIsPostedOnceWithItsIdAndATakenAwayHandleTellsNothing) {
    PostedIds posted;
    std::vector<HANDLE> events{newEvent(true), newEvent(true), newEvent(false)};
    std::vector<HANDLE> ours;
    for (HANDLE event : events) {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        ours.push_back(copy);
    }
    {
        Waiter waiter(posted.window(), WM_APP);
        // A process's handle stays signalled: it is told once, then dropped.
        ASSERT_TRUE(waiter.add(ours[0], 20, true));
        ASSERT_TRUE(waiter.add(ours[1], 21, true));
        ASSERT_TRUE(waiter.add(ours[2], 1, false));
        waiter.remove(21);
        SetEvent(events[1]);
        SetEvent(events[0]);
        ASSERT_TRUE(waitUntil([&] { return posted.ids.size() >= 1; }, 5000));
        // The rules key's event goes on being watched.
        for (int i = 0; i < 2; ++i) {
            SetEvent(events[2]);
            ASSERT_TRUE(
                waitUntil([&] { return posted.ids.size() >= static_cast<size_t>(2 + i); }, 5000));
        }
        waitUntil([] { return false; }, 200);
        EXPECT_EQ(posted.ids, (std::vector<WPARAM>{20, 1, 1}));
    }
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST(LumoautoWaiter, AFailedWaitIsToldAndRefusesWhatComesAfter) {
    PostedIds posted;
    Waiter waiter(posted.window(), WM_APP);
    HANDLE lost = newEvent(true);
    ASSERT_TRUE(waiter.add(lost, 20, true));
    // Closed behind the waiter's back: its next wait fails.
    CloseHandle(lost);
    waiter.remove(21);
    ASSERT_TRUE(waitUntil([&] { return !posted.ids.empty(); }, 5000));
    EXPECT_EQ(posted.ids, std::vector<WPARAM>{Waiter::stoppedId});
    EXPECT_FALSE(waiter.waiting());
    EXPECT_FALSE(waiter.add(newEvent(true), 22, true));
}

TEST(LumoautoWaiter, BeyondWhatOneWaitTakesAHandleIsRefusedAndClosed) {
    PostedIds posted;
    Waiter waiter(posted.window(), WM_APP);
    size_t taken = 0;
    while (taken < MAXIMUM_WAIT_OBJECTS && waiter.add(newEvent(true), 100 + taken, true))
        ++taken;
    EXPECT_EQ(taken, static_cast<size_t>(MAXIMUM_WAIT_OBJECTS - 1));
    HANDLE refused = newEvent(true);
    EXPECT_FALSE(waiter.add(refused, 1, true));
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(refused, &flags)) << "the refused handle is still open";
}

TEST(LumoautoSender, EachOutcomeComesWithItsOwnReasonAndNoneAfterTheEnd) {
    PostedIds posted;
    HANDLE answer = newEvent(true);
    auto calls = std::make_shared<std::atomic<int>>(0);
    {
        Sender sender(posted.window(), WM_APP + 1, [answer, calls](short) {
            ++*calls;
            WaitForSingleObject(answer, INFINITE);
            return SendOutcome::Sent;
        });
        ASSERT_TRUE(sender.send(reverse, L"Racer.exe started"));
        ASSERT_TRUE(waitUntil([&] { return *calls == 1; }, 5000));
        sender.send(off, L"Racer.exe ended");
        SetEvent(answer);
        ASSERT_TRUE(waitUntil([&] { return posted.sent.size() == 2; }, 5000));
        EXPECT_EQ(std::make_tuple(posted.sent[0]->command, posted.sent[0]->reason),
                  std::make_tuple(reverse, std::wstring(L"Racer.exe started")));
        EXPECT_EQ(posted.sent[1]->reason, L"Racer.exe ended");
        // A hung controller outlasts the end.
        ResetEvent(answer);
        sender.send(normal, L"Game.exe started");
        ASSERT_TRUE(waitUntil([&] { return *calls == 3; }, 5000));
    }
    SetEvent(answer);
    // The call that returns after the end posts nothing and its thread ends by itself.
    ASSERT_TRUE(waitUntil([&] { return calls.use_count() == 1; }, 5000));
    pumpMessagesFor(100);
    EXPECT_EQ(posted.sent.size(), 2u);
    CloseHandle(answer);
}

} // namespace
