// Start-up over many random registry states of the controller's keys: every value missing, of
// another type, shorter or longer than 4 bytes, "Version" of every awkward length. The outcome is
// always one the program documents: the settings loaded, the defaults written, or the code of the
// step that failed with the fields before it read.

#include "code/controller_state.h"
#include "settings/settings_store.h"
#include "support/registry.h"
#include "support/running_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// The quick run of the test suite; `make stress` sets ZEZIZER_FUZZ_ITERATIONS for a longer one.
constexpr int defaultIterations = 2000;

// The numbers among the stored values, in read order.
const std::vector<StoredField> fieldsInReadOrder = [] {
    std::vector<StoredField> fields;
    for (const StoredField& value : storedFields)
        if (value.field)
            fields.push_back(value);
    return fields;
}();
constexpr size_t firstSettingsField = 3;
constexpr int32_t oldFieldValue = 0x0BADF00D;

// One generated value: absent, or a type and bytes.
struct GeneratedValue {
    bool present = false;
    DWORD type = REG_DWORD;
    std::vector<BYTE> bytes;

    bool isDword() const { return present && bytes.size() == 4; }
    int32_t dword() const {
        int32_t value;
        memcpy(&value, bytes.data(), 4);
        return value;
    }
};

class RegistryStateGenerator {
  public:
    explicit RegistryStateGenerator(uint32_t start) : random_(start) {}

    GeneratedValue field() {
        GeneratedValue value;
        value.present = chance(97);
        value.type = pick<DWORD>({REG_DWORD, REG_DWORD, REG_BINARY, REG_SZ, REG_QWORD});
        const size_t size = chance(92) ? 4 : pick<size_t>({0, 1, 2, 3, 5, 8, 64});
        value.bytes = randomBytes(size);
        return value;
    }

    GeneratedValue version() {
        GeneratedValue value;
        value.present = chance(90);
        value.type = pick<DWORD>({REG_SZ, REG_SZ, REG_BINARY, REG_DWORD, REG_EXPAND_SZ});
        const int form = static_cast<int>(random_() % 6);
        if (form == 0) {
            value.bytes.assign(runningVersion, runningVersion + sizeof(runningVersion));
            value.bytes.resize(chance(50) ? 20 : sizeof(runningVersion), 0);
        } else if (form == 1) {
            value.bytes.assign(runningVersion, runningVersion + sizeof(runningVersion) - 1);
        } else {
            const size_t size = pick<size_t>({0, 1, 19, 20, 21, 300});
            value.bytes = chance(50) ? randomBytes(size) : std::vector<BYTE>(size, '2');
        }
        return value;
    }

    bool chance(int percent) { return static_cast<int>(random_() % 100) < percent; }

  private:
    template <typename T> T pick(std::initializer_list<T> choices) {
        return *(choices.begin() + random_() % choices.size());
    }
    std::vector<BYTE> randomBytes(size_t size) {
        std::vector<BYTE> bytes(size);
        for (BYTE& byte : bytes)
            byte = static_cast<BYTE>(random_());
        return bytes;
    }

    std::mt19937 random_;
};

// Stores a value and gives back what reading it returns: text types may come back converted.
GeneratedValue store(const char* key, const char* name, const GeneratedValue& value) {
    if (!value.present)
        return value;
    writeValue(key, name, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
    GeneratedValue seen = value;
    auto stored = readValue(key, name);
    seen.present = stored.has_value();
    if (stored)
        seen.bytes = stored->bytes;
    return seen;
}

bool versionMatches(const GeneratedValue& version) {
    if (!version.present || version.bytes.size() > 20)
        return false;
    const size_t length =
        strnlen(reinterpret_cast<const char*>(version.bytes.data()), version.bytes.size());
    return length == sizeof(runningVersion) - 1 &&
           memcmp(version.bytes.data(), runningVersion, length) == 0;
}

bool holdsDefaults() {
    return controller.hardware == 0 && controller.mode == 0 && controller.lcdMode == 0 &&
           controller.tested == 0 && controller.active == 0 && controller.reverse == 0 &&
           controller.hotKey1 == 633 && controller.hotKey2 == 634 && controller.hotKey3 == 635 &&
           readDword(testSettingsKey, "Hot-Key 3") == 635u &&
           readValue(testControllerKey, "Version").value_or(StoredValue{}).bytes.size() == 20;
}

int iterations() {
    char text[32] = {};
    if (GetEnvironmentVariableA("ZEZIZER_FUZZ_ITERATIONS", text, sizeof(text)))
        return atoi(text);
    return defaultIterations;
}

TEST(SettingsAtStartUp, EveryRandomRegistryStateEndsInADocumentedOutcome) {
    const uint32_t randomStart = 20261208;
    RegistryStateGenerator generate(randomStart);
    const int runs = iterations();
    int loaded = 0, reset = 0, failed = 0;
    for (int run = 0; run < runs; ++run) {
        deleteCorvaneKey();
        const bool controllerKey = generate.chance(95);
        const bool settingsKey = generate.chance(95);
        std::vector<GeneratedValue> fields(fieldsInReadOrder.size());
        for (GeneratedValue& field : fields)
            field = generate.field();
        GeneratedValue version = generate.version();
        if (controllerKey) {
            writeValue(testControllerKey, "", REG_SZ, "", 1);
            for (size_t i = 0; i < firstSettingsField; ++i)
                fields[i] = store(testControllerKey, fieldsInReadOrder[i].name, fields[i]);
            version = store(testControllerKey, "Version", version);
            if (settingsKey) {
                writeValue(testSettingsKey, "", REG_SZ, "", 1);
                for (size_t i = firstSettingsField; i < fields.size(); ++i)
                    fields[i] = store(testSettingsKey, fieldsInReadOrder[i].name, fields[i]);
            }
        }

        controller = ControllerState{};
        controller.moduleInstance = GetModuleHandleA(nullptr);
        makeVersionText();
        for (const StoredField& field : fieldsInReadOrder)
            controller.*field.field = oldFieldValue;
        const int result = loadOrResetSettings();
        ASSERT_LT(strnlen(controller.version, sizeof(controller.version)),
                  sizeof(controller.version))
            << "run " << run;

        if (!controllerKey || !versionMatches(version)) {
            ASSERT_EQ(result, 1) << "run " << run;
            ASSERT_TRUE(holdsDefaults()) << "run " << run << ": defaults expected";
            ++reset;
            continue;
        }
        // The stored settings are read in order until the first value that is not 32 bits.
        int32_t expectedError = 0;
        size_t readUpTo = fields.size();
        for (size_t i = 0; i < fields.size() && !expectedError; ++i) {
            if (i == firstSettingsField && !settingsKey)
                expectedError = 14;
            else if (!fields[i].isDword())
                expectedError = fieldsInReadOrder[i].readFailure;
            if (expectedError)
                readUpTo = i;
        }
        ASSERT_EQ(result, expectedError ? 0 : 1) << "run " << run;
        ASSERT_EQ(controller.lastError, expectedError) << "run " << run;
        for (size_t i = 0; i < fields.size(); ++i) {
            const int32_t expected = i < readUpTo ? fields[i].dword() : oldFieldValue;
            ASSERT_EQ(controller.*fieldsInReadOrder[i].field, expected)
                << "run " << run << ", " << fieldsInReadOrder[i].name;
        }
        ++(expectedError ? failed : loaded);
    }
    deleteCorvaneKey();
    printf("%d registry states (random start %u): %d loaded, %d reset to defaults, %d failed at a "
           "step\n",
           runs, randomStart, loaded, reset, failed);
    EXPECT_GT(loaded, 0);
    EXPECT_GT(reset, 0);
    EXPECT_GT(failed, 0);
}

} // namespace
