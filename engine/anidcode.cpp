// Engine version.

#include "engine/engine.h"

namespace tarvex {

// The 15-character version text that the front end appends to its About text.
std::string EVERSION() { return " engine: V1.4 h"; }

}  // namespace tarvex
