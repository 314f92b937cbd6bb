#pragma once
// Reads a display code back from a picture of the top rows of a screen: tells whether the rows
// carry one of the controller's codes exactly, a recognisable but damaged one, or none.
//
// Pixels are 32-bit values 0x00RRGGBB, the layout of a 32-bit DIB section (the top byte is
// ignored), top row first, `width` pixels a row, as many whole rows as the span holds. Sixteen
// rows show every code in full, also one that stands a row too low.
//
// The codes are the command table's (code/command_table.h), each row across the whole width.
//
// Exact: rows 0 to 9 (stereo) or 0 to 13 (LCD) hold exactly the colours of one code in every
// pixel. Rows below the code are not looked at.
//
// Damaged, that is recognisably a code but not exactly: the leading rows of one family start at
// row 0, or at row 1 (the code stands one row low), and every leading row but at most one is
// recognisable as its colour. A row is recognisable as a colour when at least a quarter of its
// pixels (and at least one) are near that colour; a pixel is near a code colour when each of its
// red, green and blue values is within 96 of the colour's. So a code survives a dimming or tinting
// filter, an overlay over up to three quarters of the width, a code narrower than the screen and
// one wholly wrong leading row, while mid grey is near no code colour and a lone coloured row, or
// a screen of one colour, is no code at all. The two families' leading rows differ in at least
// two rows at every start looked at, so one family's code is never taken for the other's; should
// rows of mixed colours fit more than one reading, the one with fewer unrecognisable leading rows,
// then the start at row 0, then the stereo family wins.
//
// The command of a damaged code is the best guess from its two command rows: the one command of
// the family with the most command rows recognisable as its colours (ties broken by the number of
// near pixels); none when no command row is recognisable or two commands score the same.
//
// What was wrong is listed as flaws: in each row of the code, each run of neighbouring pixels of
// one colour that is not the colour the row should have (for command rows that match no command,
// every run), merged with the same run in the rows just above it.

#include "code/command_table.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class CodeReading { None, Exact, Damaged };

constexpr int32_t unknownCommand = 0;

// Rows firstRow..lastRow, pixels firstX..lastX (inclusive) all show the colour `seen` (0xRRGGBB)
// where the code has another colour, or where its command rows match no command.
struct CodeFlaw {
    int firstRow;
    int lastRow;
    int firstX;
    int lastX;
    uint32_t seen;
};

// Flaws beyond this many are only counted.
constexpr size_t maxListedFlaws = 16;

struct DecodedCode {
    CodeReading reading = CodeReading::None;
    CodeFamily family = CodeFamily::Stereo;
    // The command, its best guess when damaged, or unknownCommand.
    int32_t command = unknownCommand;
    // How many rows lower than row 0 the code starts: 0 or 1.
    int shift = 0;
    // Top to bottom; empty for an exact code.
    std::vector<CodeFlaw> flaws;
    // Further flaws that did not fit in the list.
    int unlistedFlaws = 0;
};

DecodedCode decodeDisplayCode(std::span<const uint32_t> pixels, int width);

// What was wrong, in a few words for a person ("rows 0-9 x 512-1023 #808080"); empty when exact.
std::string describeDamage(const DecodedCode& code);
