// Resource and control identifiers, shared by pikorina.rc and the code so the two cannot drift.
// Plain C preprocessor only: windres reads this file too.
#pragma once

// The flag comes first: Explorer shows the first icon group of an exe as its icon.
#define IDI_FLAG 1
#define IDI_DYNAMITE 2
#define IDI_BURST 3
#define IDB_SWIRL 4

// The window's child windows. The cancel button carries IDCANCEL (2) so that the dialog
// manager's Esc reaches it; the others keep clear of the IDOK..IDCONTINUE range, which the
// dialog manager may send on its own.
#define IDC_LISTBOX 100
#define IDC_EXIT_BUTTON 101
#define IDC_SHUTDOWN_BUTTON 102
