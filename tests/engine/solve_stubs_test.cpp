// Temporary stand-ins for routines that other work provides, so that the
// equation tests link until those routines are merged. Remove after merging.

#include "engine/engine.h"

namespace tarvex {

void SUBC() {}
void USRSUB2() {}

}  // namespace tarvex
