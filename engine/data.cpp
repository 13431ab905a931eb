#include "engine/data.h"

namespace tarvex {

// One instance of each group, zero at process start (static storage: pages are
// only backed by memory once touched).
GRIDDIM griddim;
GRIDLINE gridline;
FIELDS fields;
COEFS coefs;
C2EQ c2eq;
RESID resid;
RUNCTL runctl;
PBTABLE pbtable;
UVALTAB uvaltab;
REGIONS regions;
DOMSUMS domsums;
MIXLEN mixlen;
FILENAMES filenames;
RUNFLAGS runflags;

std::mutex field_lock;

}  // namespace tarvex
