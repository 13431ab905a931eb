#include "frontend/viewdlg.h"

namespace tarvex {

VIEWDLG& viewdlg = *new VIEWDLG;

}  // namespace tarvex
