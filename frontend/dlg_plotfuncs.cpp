#include "frontend/dlg_plotfuncs.h"

namespace tarvex {

// To be written.
void PLOTBOX(double, double, double, double, double, double, double) {}
void CONTOUR_SCALE(double, double) {}
void DRAW_GRID(double, double, double, double) {}
void DRAW_CPR(int) {}
void DRAW_BNDS(int) {}
void DRAW_DATA(int, int) {}
void DRAW_VECTOR(int, int) {}

}  // namespace tarvex
