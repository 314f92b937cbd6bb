#pragma once
// The automation server's fixed GUIDs and names as clients know them, written out on their own.

#include <windows.h>

#include <string>
#include <vector>

inline constexpr char classIdText[] = "{CD4EE6B2-6D9E-4B89-A488-AEC7B52E0AF8}";
inline constexpr char appIdText[] = "{4ACAFF67-F105-4C22-9770-EE40EE93283F}";
inline constexpr char libraryIdText[] = "{4D841E28-F3BC-4A0E-9C15-3023099BD704}";
inline constexpr char interfaceIdText[] = "{8981EAAD-8600-41A8-AD58-CBAA335C022C}";
inline constexpr char progId[] = "ZEZIZER.LumoCode";
inline constexpr char versionedProgId[] = "ZEZIZER.LumoCode.1";

CLSID guidOf(const char* text);

// Every key that registering the server makes, by its path below a classes key.
std::vector<std::string> serverKeyPaths();

// Deletes, without the program's help, every key that registering the server may have made, for
// the machine and for the user.
void removeServerKeys();
