// The file dialogs of the File menu and of the picture saving.
//
// Each routine shows its dialog and, when the user chooses a file, puts the
// full path into NAME (blank-padded) and returns 0; on Cancel it returns -1
// and NAME is unchanged. A name typed without an extension gets the
// routine's default extension unless a file of that name exists. A path
// longer than NAME can hold is refused with a message and the dialog comes
// back. The current directory is never changed.
#pragma once

#include "common/names.h"

namespace tarvex {

// Open a case, control or saved-data file: "All Files" (*.*) or "Data Files"
// (*.txt), default extension dat; proposes the name last chosen here (shared
// by Load Geometry, Load Control and Load Saved data).
int FILEOPENDLG(PaddedName& name);

// Choose the saved-data file: "All Files" (*.*) or "Data Files" (*.dat),
// default extension dat; proposes the name last chosen here. An existing file
// is taken without asking.
int FILESAVEDLG(PaddedName& name);

// Choose the bitmap file of a picture: "Bitmap Files" (*.bmp) or "All
// Files" (*.*), default extension bmp; proposes the caller's NAME. A picture
// never replaces a file silently: an existing file is only taken after Yes
// in a question naming it; No brings the dialog back with that name.
int PICOPENDLG(PaddedName& name);

// Forgets the names last chosen (program start); for tests.
void reset_file_dialog_names();

}  // namespace tarvex
