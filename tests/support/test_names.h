#pragma once
// The controller's names as other programs see them: its window classes, the caption of its error
// box and the titles of its dialogs. Tests, the probe, the benchmark and the stress tool find the
// controller's windows by these; the names the programs share are in common/names.h.

#include "common/names.h"

inline constexpr char controllerCodeWindowClass[] = "LUMOCODECLASS";
inline constexpr char controllerErrorCaption[] = "Lumo Controller Error";
inline constexpr char propertiesDialogTitle[] = "Lumo Controller Properties";
inline constexpr char aboutBoxTitle[] = "About Lumo Controller";
inline constexpr char normalTestDialogTitle[] = "Normal Interleaved Mode";
inline constexpr char reverseTestDialogTitle[] = "Reverse Interleaved Mode";
