// TEMPORARY: stand-ins for routines being written elsewhere, so the case
// reader's tests link. Removed once the real ones are merged.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/channels.h"
#include "common/names.h"
#include "common/textfmt.h"
#include "engine/data.h"
#include "engine/engine.h"

namespace tarvex {

PaddedName::PaddedName() { chars_.fill(' '); }
PaddedName::PaddedName(std::string_view text) : PaddedName() { assign(text); }
bool PaddedName::assign(std::string_view text) {
    if (text.size() > LENGTH) return false;
    chars_.fill(' ');
    std::memcpy(chars_.data(), text.data(), text.size());
    return true;
}
std::string PaddedName::trimmed() const { return std::string(trim_right(padded())); }
std::string_view trim_right(std::string_view t) {
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
}

std::string fmt_i(long long v, int w) {
    std::string s = std::to_string(v);
    if ((int)s.size() > w) return std::string(w, '*');
    return std::string(w - s.size(), ' ') + s;
}
std::string free_double(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    return buf;
}

FreeFormReader::FreeFormReader(std::string_view line) : rest_(line) {}
std::string_view FreeFormReader::next_item(bool& found) {
    size_t p = 0;
    while (p < rest_.size() && (rest_[p] == ' ' || rest_[p] == '\t')) ++p;
    if (p < rest_.size() && rest_[p] == ',') {
        ++p;
        while (p < rest_.size() && (rest_[p] == ' ' || rest_[p] == '\t')) ++p;
    }
    if (p >= rest_.size()) { found = false; rest_ = {}; return {}; }
    size_t e = p;
    while (e < rest_.size() && rest_[e] != ' ' && rest_[e] != '\t' && rest_[e] != ',') ++e;
    std::string_view item = rest_.substr(p, e - p);
    rest_ = rest_.substr(e);
    found = true;
    return item;
}
bool FreeFormReader::at_end() const {
    for (char c : rest_) if (c != ' ' && c != '\t' && c != ',') return false;
    return true;
}
ReadStatus FreeFormReader::read(int& value) {
    bool found;
    std::string_view it = next_item(found);
    if (!found) return ReadStatus::missing;
    std::string s(it);
    size_t p = 0;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) ++p;
    if (p == s.size()) return ReadStatus::bad;
    for (size_t q = p; q < s.size(); ++q) if (!std::isdigit((unsigned char)s[q])) return ReadStatus::bad;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > 2147483647LL || v < -2147483648LL || s.size() > 12) return ReadStatus::bad;
    value = (int)v;
    ++items_read_;
    return ReadStatus::ok;
}
ReadStatus FreeFormReader::read(double& value) {
    bool found;
    std::string_view it = next_item(found);
    if (!found) return ReadStatus::missing;
    std::string s(it);
    for (char& c : s) if (c == 'd' || c == 'D') c = 'E';
    for (char c : s) if (!(std::isdigit((unsigned char)c) || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e')) return ReadStatus::bad;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || !std::isfinite(v)) return ReadStatus::bad;
    value = v;
    ++items_read_;
    return ReadStatus::ok;
}

int SETUP_ARRAY(int nx, int ny, int nz) {
    long long n = (long long)(nx + 1LL) * (ny + 1LL) * (nz + 1LL);
    if (n >= NCELLMAX) {
        write_line(CH_CONSOLE, free_line(" problem size too big "));
        write_line(CH_CONSOLE, free_line(" number of cells requested: ", n));
        write_line(CH_CONSOLE, free_line("  maximum domain  ", NCELLMAX));
        return -1;
    }
    if (nx >= NDIRMAX || ny >= NDIRMAX || nz >= NDIRMAX) {
        write_line(CH_CONSOLE, free_line(" problem size too big "));
        write_line(CH_CONSOLE, free_line("  maximum grid size  ", NDIRMAX));
        return -1;
    }
    griddim.NX = nx; griddim.NY = ny; griddim.NZ = nz;
    griddim.NXP1 = nx + 1; griddim.NYP1 = ny + 1; griddim.NZP1 = nz + 1;
    griddim.JSTRIDE = nx + 1; griddim.KSTRIDE = (nx + 1) * (ny + 1);
    INITIAL();
    return 0;
}

void INITIAL() {
    runctl.ITURB = 1;
    runctl.NEWDIST = false;
    int n = (griddim.NX + 1) * (griddim.NY + 1) * (griddim.NZ + 1);
    for (int idx = 1; idx <= n; ++idx) {
        double* arrs[] = {fields.SUW, fields.AREAW, fields.CPRW, fields.SCW, fields.SPW, fields.W, fields.C,
                          fields.SCC, fields.SPC, fields.APC, fields.SUC, fields.P, fields.T, fields.SCV,
                          fields.SUU, fields.SUV, fields.AREAU, fields.AREAV, fields.MIMB, fields.CPRU,
                          fields.CPRV, fields.DEN, fields.CPR, fields.U, fields.V, fields.SCT, fields.SMASS,
                          fields.SCU, fields.SPU, fields.SPT, fields.SPV, fields.DENU, fields.DENV, fields.DENW,
                          coefs.VOL, coefs.AN, coefs.AS, coefs.AE, coefs.AW, coefs.AT, coefs.AB,
                          c2eq.C2, c2eq.SCC2, c2eq.SPC2, resid.RESUVW, resid.RESM, resid.REST, resid.RESC, resid.RESC2};
        for (double* a : arrs) a[idx] = 0.0;
        for (int f = 1; f <= 6; ++f) uvaltab.UVAL[uvidx(idx, f)] = uvaltab.UVALT[uvidx(idx, f)] = -999.0;
        uvaltab.UVALCELL[idx] = false;
        mixlen.XLMIX[idx] = 9.9e19;
        regions.IREG[idx] = 1;
    }
    uvaltab.UVALSET = false;
    for (int r = 1; r <= NREGMAX; ++r) { regions.RTREF[r] = runctl.RTREF0; regions.TREF[r] = 0.0; }
}

double T2SVP(double tc) {
    double t = tc + 273.15;
    double lp;
    if (tc >= 0) lp = -5800.2206 / t + 1.3914993 - 0.048640239 * t + 4.1764768e-05 * t * t - 1.4452093e-08 * t * t * t + 6.5459673 * std::log(t);
    else lp = -5674.5359 / t + 6.3925247 - 0.009677843 * t + 6.2215701e-07 * t * t + 2.0747825e-09 * t * t * t - 9.484024e-13 * t * t * t * t + 4.1635019 * std::log(t);
    return std::exp(lp);
}
double RH2WC(double rh, double tc) {
    if (rh <= 0) return 0;
    double x = (10132500.0 / rh / T2SVP(tc) - 1) * 1.6077687;
    return x == 0 ? 0 : 1 / x;
}
double WC2RH(double w, double tc) {
    if (w <= 0) return 0;
    double x = (w + 0.62198) * T2SVP(tc) / (w * 100 * 101325);
    if (x == 0) return 100;
    double r = 1 / x;
    return r > 101 ? 101 : r;
}

void BUILD_PBCELLS() {}

}  // namespace tarvex
