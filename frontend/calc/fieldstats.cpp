#include "frontend/calc/fieldstats.h"

namespace tarvex {

// To be written.
void GETDATABOUNDS() {}
int colour_band(double, double, double) { return 0; }
void FINDVAL(int, int, int& i, int& j, int& k) { i = j = k = 0; }
double GET_U(int32_t, int, int, int) { return 0.0; }
double GET_V(int32_t, int, int, int) { return 0.0; }
double GET_W(int32_t, int, int, int) { return 0.0; }

}  // namespace tarvex
