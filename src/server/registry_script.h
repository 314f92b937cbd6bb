#pragma once
// A small interpreter for the registrar's scripts, as the "REGISTRY" resources hold them:
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {guid} = s 'Class Name'
//           {
//               val AppID = s '{guid}'
//               LocalServer32 = s '%MODULE%'
//           }
//       }
//   }
//
// Tokens are separated by blanks; a text in single quotes may hold blanks, and a doubled quote
// stands for one. "%NAME%" is replaced, before anything is read, by the text bound to NAME
// ("%%" by "%"). Only string values (type "s") are known. The script and the replacements are
// UTF-8 text; keys and values are written in wide text, so that any name a path holds stays whole.

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

struct ScriptReplacement {
    const char* name;
    std::string text;
};

enum class ScriptMode {
    // Creates every key and sets every value; a "ForceRemove" key loses its whole subtree first.
    Register,
    // Deletes every key with its subtree, except "NoRemove" keys, which are only descended into.
    Unregister,
};

// S_OK, or the first failure; a script that cannot be read changes nothing. The root "HKCR" of
// the script stands for classesRoot.
HRESULT runRegistryScript(std::string_view script, std::span<const ScriptReplacement> replacements,
                          ScriptMode mode, HKEY classesRoot = HKEY_CLASSES_ROOT);
