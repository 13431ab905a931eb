// The per-cell arrays of the case: every double array of FIELDS, COEFS,
// C2EQ and RESID, the ones a case load clears (INITIAL, extensions_setup.cpp)
// and the equation tests reset. The static_asserts fail when a group gains a
// member that is not listed here, so a new array cannot silently escape the
// clearing. MIXLEN's one array (XLMIX), the U-value table and the regions'
// IREG are cleared beside them, each by its own rule.
#pragma once

#include <array>

#include "engine/data.h"

namespace tarvex {

namespace case_arrays_detail {

inline constexpr std::array<CellArray FIELDS::*, 34> kFieldArrays = {
    &FIELDS::SUW,  &FIELDS::AREAW, &FIELDS::CPRW,  &FIELDS::SCW,  &FIELDS::SPW,  &FIELDS::W,
    &FIELDS::C,    &FIELDS::SCC,   &FIELDS::SPC,   &FIELDS::APC,  &FIELDS::SUC,  &FIELDS::P,
    &FIELDS::T,    &FIELDS::SCV,   &FIELDS::SUU,   &FIELDS::SUV,  &FIELDS::AREAU, &FIELDS::AREAV,
    &FIELDS::MIMB, &FIELDS::CPRU,  &FIELDS::CPRV,  &FIELDS::DEN,  &FIELDS::CPR,  &FIELDS::U,
    &FIELDS::V,    &FIELDS::SCT,   &FIELDS::SMASS, &FIELDS::SCU,  &FIELDS::SPU,  &FIELDS::SPT,
    &FIELDS::SPV,  &FIELDS::DENU,  &FIELDS::DENV,  &FIELDS::DENW,
};
static_assert(sizeof(FIELDS) == kFieldArrays.size() * sizeof(CellArray) + 3 * sizeof(FIELDS::DX),
              "a FIELDS array is missing from the case-load clearing");

inline constexpr std::array<CellArray COEFS::*, 15> kCoefArrays = {
    &COEFS::APT, &COEFS::SUT, &COEFS::HU, &COEFS::HV, &COEFS::HW,  &COEFS::AN,  &COEFS::AS, &COEFS::AE,
    &COEFS::AW,  &COEFS::AT,  &COEFS::AB, &COEFS::VOL, &COEFS::APU, &COEFS::APV, &COEFS::APW,
};
static_assert(sizeof(COEFS) == kCoefArrays.size() * sizeof(CellArray),
              "a COEFS array is missing from the case-load clearing");

inline constexpr std::array<CellArray C2EQ::*, 6> kC2Arrays = {
    &C2EQ::C2, &C2EQ::SCC2, &C2EQ::SPC2, &C2EQ::APC2, &C2EQ::SUC2, &C2EQ::COND,
};
static_assert(sizeof(C2EQ) == kC2Arrays.size() * sizeof(CellArray) + sizeof(double),
              "a C2EQ array is missing from the case-load clearing");

inline constexpr std::array<CellArray RESID::*, 5> kResidArrays = {
    &RESID::RESUVW, &RESID::RESM, &RESID::REST, &RESID::RESC, &RESID::RESC2,
};
static_assert(sizeof(RESID) == kResidArrays.size() * sizeof(CellArray),
              "a RESID array is missing from the case-load clearing");
static_assert(sizeof(MIXLEN) == sizeof(CellArray), "a MIXLEN array is missing from the case-load clearing");

}  // namespace case_arrays_detail

// Calls fn(array) with the first element's address of every array above
// (FIELDS, then COEFS, C2EQ and RESID, each in the order listed).
template <class Fn>
inline void for_each_case_array(Fn&& fn) {
    using namespace case_arrays_detail;
    for (auto member : kFieldArrays) fn(fields.*member);
    for (auto member : kCoefArrays) fn(coefs.*member);
    for (auto member : kC2Arrays) fn(c2eq.*member);
    for (auto member : kResidArrays) fn(resid.*member);
}

}  // namespace tarvex
