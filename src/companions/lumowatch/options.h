#pragma once
// The command line of lumowatch.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct WatchOptions {
    bool once = false;
    bool json = false;
    bool help = false;
    bool check = false;
    std::optional<uint32_t> timeoutMs;
};

// Reads the arguments after the program name; false with the reason when one is not understood.
bool parseOptions(std::span<char* const> arguments, WatchOptions& options, std::string& problem);

extern const char usageText[];
