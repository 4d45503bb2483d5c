// The program's life around its windows: the units start in link order,
// the main block chooses the start-up language and creates the windows,
// the message loop runs, and the units stop in reverse order.
#pragma once

// Unit start-up: the image library first, then OLE and the language manager
// (its folder: "Langs" beside the executable).
void VeskUnitsInitialize();
// Unit shut-down in reverse order; the image library last.
void VeskUnitsFinalize();

// The main block up to the message loop: the language of the user's locale
// ("en" when it has none), the title, then the main window, the about box,
// the reference chooser and the crop preview, in that order.
void VeskCreateWindows();
// Frees the windows in reverse order of creation.
void VeskFreeWindows();

// The whole program; answers its exit status.
int VeskMain();
