#include "decoder/code_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

constexpr uint32_t rgbMask = 0xFFFFFF;

constexpr int nearTolerance = 96;
constexpr int largestShift = 1;
constexpr int leadingRowsAllowedToFail = 1;
constexpr int recognisableShareDivisor = 4; // a quarter of a row

using CommandPattern = NamedCommand;

// A family's leading rows and its commands, in the order of the command table.
struct FamilyPattern {
    CodeFamily family;
    std::span<const CodeColour> leadingRows;
    std::vector<const CommandPattern*> commands;

    int rowCount() const { return codeRowCount(family); }
};

std::vector<FamilyPattern> makeFamilies() {
    // The stereo family first: it wins where rows fit both.
    std::vector<FamilyPattern> families;
    for (const CodeFamily family : {CodeFamily::Stereo, CodeFamily::Lcd}) {
        FamilyPattern pattern{family, leadingRows(family), {}};
        for (const NamedCommand& command : commandTable())
            if (command.family == family)
                pattern.commands.push_back(&command);
        families.push_back(std::move(pattern));
    }
    return families;
}

const std::vector<FamilyPattern>& families() {
    static const std::vector<FamilyPattern> all = makeFamilies();
    return all;
}

class Picture {
  public:
    Picture(std::span<const uint32_t> pixels, int width)
        : pixels_(pixels), width_(width), rows_(static_cast<int>(pixels.size() / width)) {}

    int width() const { return width_; }
    bool hasRow(int y) const { return y < rows_; }
    uint32_t at(int x, int y) const {
        return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + x] & rgbMask;
    }

  private:
    std::span<const uint32_t> pixels_;
    int width_;
    int rows_;
};

int channel(uint32_t colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

bool isNear(uint32_t pixel, uint32_t colour) {
    for (int shift : {16, 8, 0})
        if (std::abs(channel(pixel, shift) - channel(colour, shift)) > nearTolerance)
            return false;
    return true;
}

bool rowIsExactly(const Picture& picture, int y, uint32_t colour) {
    if (!picture.hasRow(y))
        return false;
    for (int x = 0; x < picture.width(); ++x)
        if (picture.at(x, y) != colour)
            return false;
    return true;
}

int nearPixels(const Picture& picture, int y, uint32_t colour) {
    if (!picture.hasRow(y))
        return 0;
    int count = 0;
    for (int x = 0; x < picture.width(); ++x)
        count += isNear(picture.at(x, y), colour);
    return count;
}

bool isRecognisable(const Picture& picture, int nearCount) {
    const int needed = (picture.width() + recognisableShareDivisor - 1) / recognisableShareDivisor;
    return nearCount >= std::max(1, needed);
}

// The colour that row `row` of a code should have; none for command rows of an unknown command.
std::optional<uint32_t> expectedColour(const FamilyPattern& family, const CommandPattern* command,
                                       int row) {
    const int leading = static_cast<int>(family.leadingRows.size());
    if (row < leading)
        return codeColourRgb(family.leadingRows[static_cast<size_t>(row)]);
    if (!command)
        return std::nullopt;
    return codeColourRgb(command->rows[static_cast<size_t>(row - leading)]);
}

// How well some rows of the picture fit some colours.
struct Fit {
    int recognisableRows = 0;
    long nearPixelCount = 0;

    auto operator<=>(const Fit&) const = default;
};

Fit fitRows(const Picture& picture, std::span<const CodeColour> colours, int firstRow) {
    Fit fit;
    for (size_t i = 0; i < colours.size(); ++i) {
        const int count =
            nearPixels(picture, firstRow + static_cast<int>(i), codeColourRgb(colours[i]));
        fit.recognisableRows += isRecognisable(picture, count);
        fit.nearPixelCount += count;
    }
    return fit;
}

const CommandPattern* findExactCommand(const Picture& picture, const FamilyPattern& family) {
    for (const CommandPattern* command : family.commands) {
        bool exact = true;
        for (int row = 0; exact && row < family.rowCount(); ++row)
            exact = rowIsExactly(picture, row, *expectedColour(family, command, row));
        if (exact)
            return command;
    }
    return nullptr;
}

struct Reading {
    const FamilyPattern* family = nullptr;
    int shift = 0;
    int failedRows = 0; // leading rows not recognisable
};

std::optional<Reading> bestReading(const Picture& picture) {
    std::optional<Reading> best;
    for (int shift = 0; shift <= largestShift; ++shift) {
        for (const FamilyPattern& family : families()) {
            const int leading = static_cast<int>(family.leadingRows.size());
            const int failed =
                leading - fitRows(picture, family.leadingRows, shift).recognisableRows;
            if (failed <= leadingRowsAllowedToFail && (!best || failed < best->failedRows))
                best = Reading{&family, shift, failed};
        }
    }
    return best;
}

const CommandPattern* guessCommand(const Picture& picture, const Reading& reading) {
    const int firstCommandRow =
        reading.shift + static_cast<int>(reading.family->leadingRows.size());
    const CommandPattern* best = nullptr;
    Fit bestFit;
    bool tied = false;
    for (const CommandPattern* command : reading.family->commands) {
        const Fit fit = fitRows(picture, command->rows, firstCommandRow);
        if (!best || fit > bestFit) {
            best = command;
            bestFit = fit;
            tied = false;
        } else if (fit == bestFit) {
            tied = true;
        }
    }
    return tied || bestFit.recognisableRows == 0 ? nullptr : best;
}

// Collects the runs of wrong pixels row by row and merges each with the same run in the row above.
class FlawList {
  public:
    void startRow() {
        previousRow_.swap(currentRow_);
        currentRow_.clear();
        cursor_ = 0;
    }

    // Runs of a row come left to right, as do the flaws that reached the row above.
    void add(int row, int firstX, int lastX, uint32_t seen) {
        while (cursor_ < previousRow_.size() && all_[previousRow_[cursor_]].firstX < firstX)
            ++cursor_;
        if (cursor_ < previousRow_.size()) {
            CodeFlaw& above = all_[previousRow_[cursor_]];
            if (above.firstX == firstX && above.lastX == lastX && above.seen == seen) {
                above.lastRow = row;
                currentRow_.push_back(previousRow_[cursor_]);
                return;
            }
        }
        currentRow_.push_back(all_.size());
        all_.push_back(CodeFlaw{row, row, firstX, lastX, seen});
    }

    void handTo(DecodedCode& code) {
        const size_t listed = std::min(all_.size(), maxListedFlaws);
        code.unlistedFlaws = static_cast<int>(all_.size() - listed);
        all_.resize(listed);
        code.flaws = std::move(all_);
    }

  private:
    std::vector<CodeFlaw> all_;
    std::vector<size_t> previousRow_;
    std::vector<size_t> currentRow_;
    size_t cursor_ = 0;
};

// Each run of one colour in a row that differs from the expected colour (every run when none).
void addRowFlaws(const Picture& picture, int y, std::optional<uint32_t> expected, FlawList& flaws) {
    flaws.startRow();
    int x = 0;
    while (x < picture.width()) {
        const uint32_t seen = picture.at(x, y);
        int end = x;
        while (end + 1 < picture.width() && picture.at(end + 1, y) == seen)
            ++end;
        if (seen != expected)
            flaws.add(y, x, end, seen);
        x = end + 1;
    }
}

DecodedCode damagedCode(const Picture& picture, const Reading& reading) {
    DecodedCode code;
    code.reading = CodeReading::Damaged;
    code.family = reading.family->family;
    code.shift = reading.shift;
    const CommandPattern* command = guessCommand(picture, reading);
    code.command = command ? command->value : unknownCommand;
    FlawList flaws;
    for (int row = 0; row < reading.family->rowCount(); ++row) {
        const int y = reading.shift + row;
        if (picture.hasRow(y))
            addRowFlaws(picture, y, expectedColour(*reading.family, command, row), flaws);
    }
    flaws.handTo(code);
    return code;
}

std::string colourName(uint32_t colour) {
    constexpr std::pair<CodeColour, const char*> names[] = {{CodeColour::Red, "red"},
                                                            {CodeColour::Green, "green"},
                                                            {CodeColour::Yellow, "yellow"},
                                                            {CodeColour::Black, "black"}};
    for (const auto& [codeColour, name] : names)
        if (codeColourRgb(codeColour) == colour)
            return name;
    char hex[8];
    std::snprintf(hex, sizeof(hex), "#%06X", static_cast<unsigned>(colour));
    return hex;
}

std::string range(const char* one, const char* many, int first, int last) {
    if (first == last)
        return std::string(one) + " " + std::to_string(first);
    return std::string(many) + " " + std::to_string(first) + "-" + std::to_string(last);
}

std::string describeFlaw(const CodeFlaw& flaw) {
    return range("row", "rows", flaw.firstRow, flaw.lastRow) + " " +
           range("x", "x", flaw.firstX, flaw.lastX) + " " + colourName(flaw.seen);
}

} // namespace

DecodedCode decodeDisplayCode(std::span<const uint32_t> pixels, int width) {
    if (width < 1 || pixels.size() < static_cast<size_t>(width))
        return {};
    const Picture picture(pixels, width);
    for (const FamilyPattern& family : families()) {
        if (const CommandPattern* command = findExactCommand(picture, family)) {
            DecodedCode code;
            code.reading = CodeReading::Exact;
            code.family = family.family;
            code.command = command->value;
            return code;
        }
    }
    const std::optional<Reading> reading = bestReading(picture);
    return reading ? damagedCode(picture, *reading) : DecodedCode{};
}

std::string describeDamage(const DecodedCode& code) {
    std::vector<std::string> parts;
    if (code.shift)
        parts.push_back("shifted down " + std::to_string(code.shift) +
                        (code.shift == 1 ? " row" : " rows"));
    if (code.reading == CodeReading::Damaged && code.command == unknownCommand)
        parts.push_back("command rows match no command");
    for (const CodeFlaw& flaw : code.flaws)
        parts.push_back(describeFlaw(flaw));
    if (code.unlistedFlaws)
        parts.push_back("and " + std::to_string(code.unlistedFlaws) + " more");

    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}
