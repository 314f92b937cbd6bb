#pragma once
// The display codes as the glasses' box expects them, written out independently of the program:
// one letter a row, R red, G green, Y yellow, K black.

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

struct ExpectedCode {
    int32_t command;
    std::string_view rows;
};

inline const std::vector<ExpectedCode> expectedCodes{
    {1, "RRGGYYYYRR"},    {2, "RRGGYYYYKR"},     {3, "RRGGYYYYGG"},     {4, "RRGGYYYYYY"},
    {1000, "RRGGYYYYKK"}, {5, "RRRRRRGGYYYYGR"}, {6, "RRRRRRGGYYYYRG"}, {7, "RRRRRRGGYYYYKG"},
};

constexpr int tallestCode = 14;

inline COLORREF colourOfLetter(char letter) {
    switch (letter) {
    case 'R':
        return RGB(255, 0, 0);
    case 'G':
        return RGB(0, 255, 0);
    case 'Y':
        return RGB(255, 255, 0);
    default:
        return RGB(0, 0, 0);
    }
}
