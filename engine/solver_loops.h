// The loop driver: every visiting order of the solver over the cells of the
// grid lives here, and nowhere else.
//
// A pass over a box of cells is one of three kinds:
//
//   sweep(g, box, order, kernel [, sums])
//       A point Gauss-Seidel sweep. Forward visits k, then j, then i
//       ascending (i fastest), backward all three descending. The kernel may
//       read the values of its cell P and of the six cells P±1, P±JSTRIDE,
//       P±KSTRIDE, and writes only the values of P (its own cell, or the
//       velocity node on P's low face). A cell so sees the new values of the
//       neighbours visited before it and the old values of those after it.
//   pass(g, box, kernel [, sums])
//       Independent per-cell work: set-ups, residuals, densities, shifts. The
//       kernel writes only the values of its own cell (or node) and reads,
//       beyond its own cell, nothing the same pass writes, so the cells may
//       be taken in any order; serially they are taken in the forward order.
//   pb_cells(g, fn)
//       The cells that some pressure-boundary box holds, in the forward
//       order, each with its rows in table order. These passes touch few
//       cells and run serially.
//
// A kernel is a small object called once per cell: kernel(cell). It names
// the arrays it reads and writes as constant members (solver_kernels.h) and
// holds the values of the pass (grid, factors, switches); it keeps no state
// from one cell to the next. It returns nothing, or the cell's term of the
// pass's sums; the driver hands each term to sums.add(term) in the visiting
// order, so that a sum is formed in the order the sweep or pass visits the
// cells, whatever does the per-cell work. Maxima are taken the same way,
// though their order does not matter.
//
// Order and bits. The results of a sweep depend on its order only through
// the rule above: any schedule in which every cell still sees the new values
// of the neighbours before it and the old values of those after it gives the
// same bits. Rows (j, k) are the unit of work: a forward row may start once
// rows (j-1, k) and (j, k-1) are done (a backward row once (j+1, k) and
// (j, k+1) are), so the rows of one anti-diagonal j + k are independent, and
// slabs of k planes can follow each other as a pipeline. Rows visited by
// visit_row<order>() in such a schedule, with their terms kept per cell and
// added in the serial order afterwards, reproduce the serial sweep bit for
// bit; so do the rows of a pass in any order. Since kernels keep no state
// between cells, one kernel may serve several rows at once, interleaved in
// one thread or on several threads.
//
// Threads. sweep() and pass() run on the solver's threads (solver_threads.h,
// the pool in solver_pool.h) in such a schedule whenever the box has enough
// cells and rows to share; otherwise, and always on one thread, they are the
// plain serial loops. Kernels may therefore read nothing that another cell
// of the same visit writes beyond what the rule above allows, and must write
// nothing shared but their own cell's values. pb_cells() stays serial.
#pragma once

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "engine/cells.h"
#include "engine/data.h"
#include "engine/pbcells.h"
#include "engine/solver_pool.h"

namespace tarvex::loops {

enum class Order { forward, backward };

// The direction argument of the sweep routines: 1 forward, any other value
// backward.
inline Order sweep_order(int dir) { return dir == 1 ? Order::forward : Order::backward; }

// ---- sums -----------------------------------------------------------------

// A pass without sums, or one whose kernel's terms nobody reads.
struct NoSums {
    static constexpr bool DISCARDS_TERMS = true;
    template <class Term>
    void add(const Term&) {}
};

// One sum of terms in visiting order. For a sum of absolute values a cell
// that adds nothing returns the term 0.0: such a sum starts at +0 and never
// becomes -0, so adding +0 leaves every bit of it as it is.
struct Sum {
    double value;
    void add(double term) { value += term; }
};

// The change sum and largest change of a sweep; a cell that changes nothing
// returns 0.0, which leaves both as they are (the maximum is never below 0).
struct ChangeSums {
    double sum;
    double max;
    void add(double d) {
        sum += d;
        if (d > max) max = d;
    }
};

// ---- visits -----------------------------------------------------------------

namespace detail {
template <class Kernel, class Sums>
inline void apply(const Kernel& kernel, const Cell& c, Sums& sums) {
    if constexpr (std::is_void_v<decltype(kernel(c))>)
        kernel(c);
    else
        sums.add(kernel(c));
}
}  // namespace detail

// The cells i0..i1 of row (j, k) of a box, ascending (forward) or descending.
template <Order O, class Kernel, class Sums>
inline void visit_row(const Grid& g, const Box& b, int j, int k, const Kernel& kernel, Sums& sums) {
    if constexpr (O == Order::forward) {
        Index p = g.index(b.i0, j, k);
        for (int i = b.i0; i <= b.i1; ++i, ++p) detail::apply(kernel, Cell{i, j, k, p}, sums);
    } else {
        Index p = g.index(b.i1, j, k);
        for (int i = b.i1; i >= b.i0; --i, --p) detail::apply(kernel, Cell{i, j, k, p}, sums);
    }
}

// The rows (j, k) of a box in the order of a serial sweep: k, then j,
// ascending (forward) or descending.
template <Order O, class Row>
inline void for_rows(const Box& b, Row&& row) {
    if constexpr (O == Order::forward) {
        for (int k = b.k0; k <= b.k1; ++k)
            for (int j = b.j0; j <= b.j1; ++j) row(j, k);
    } else {
        for (int k = b.k1; k >= b.k0; --k)
            for (int j = b.j1; j >= b.j0; --j) row(j, k);
    }
}

namespace detail {
// A serial visit works on its own copy of the kernel: nothing else can see
// the copy, so the compiler may keep the kernel's values in registers even
// across the calls a kernel makes to other routines.
//
// The row loops here and below are flattened: the kernel and what it calls
// are inlined into them whatever the compiler's budget for the translation
// unit (a kernel called out of line, its values in memory, ran the momentum
// sweeps up to three times slower).
template <Order O, class Kernel, class Sums>
[[gnu::flatten]] inline void serial(const Grid& g, const Box& b, const Kernel& kernel, Sums& sums) {
    const Kernel own = kernel;
    for_rows<O>(b, [&](int j, int k) { visit_row<O>(g, b, j, k, own, sums); });
}

// ---- parallel visits --------------------------------------------------------
//
// Sweeps. The rows of the box form a grid (x, y) in sweep order: x counts the
// rows along the axis that is shared out (j or k, whichever gives the shorter
// estimated time), y those along the other, both from the first row the
// sweep visits. Row (x, y) needs rows (x-1, y) and (x, y-1). Sweeper w owns
// a block of x and goes through y as a pipeline: its first row of a plane y
// waits until sweeper w-1 has published that it finished its last row of y.
// Inside its block a sweeper takes `interleave` planes at once (1 or 2),
// skewed by one row each (rows (x, y) and (x-1, y+1) are independent), and
// visits their cells alternately, so that the dependent chains of the two
// rows overlap. A sweeper publishes a plane when its last row of the plane
// is done.
//
// Passes. The rows in serial order are cut into one run of rows per worker,
// or, when a worker of its own adds the terms, into chunks dealt round.
//
// Sums. Each cell's term goes to its place in a buffer in the serial visiting
// order, and the terms are handed to sums.add() in that order, so every sum
// is formed exactly as in the serial visit: either by the caller when all
// rows are done, or, while the others still visit rows, by the adding worker
// (the job's last worker), which goes through the segments of the buffer in
// the serial order and waits for each on the progress counter of the worker
// that produces it (add_in_order() and the SegmentMaps below), or, with
// blocks of j, by the last sweeper: it finishes the planes in the serial
// order, each after every other sweeper, and adds each plane once its own
// rows of it are done (its block is narrower by the time that takes).

template <class S, class = void>
struct discards_terms : std::false_type {};
template <class S>
struct discards_terms<S, std::void_t<decltype(S::DISCARDS_TERMS)>> : std::bool_constant<S::DISCARDS_TERMS> {};

template <class Kernel>
using TermOf = decltype(std::declval<const Kernel&>()(std::declval<const Cell&>()));

// Whether the terms of a pass must be kept for its sums.
template <class Kernel, class Sums>
inline constexpr bool keeps_terms = !std::is_void_v<TermOf<Kernel>> && !discards_terms<Sums>::value;

template <class Kernel, class Sums>
using StoredTerm = std::conditional_t<keeps_terms<Kernel, Sums>, TermOf<Kernel>, char>;

// Rows visited at once by a sweeper. Two rows side by side overlap their
// dependent chains; more run slower (the kernels' values no longer fit the
// registers).
// Measure: tarvex_bench_solver --reference --scan 8 --interleave 1, against
// the same without --interleave. On the quiet machine (load average below
// 2.5, 5 and 7 repetitions, medians) the speed-ups on 2 to 8 threads were
// 1.66, 2.42, 3.00, 3.66, 4.03, 4.35, 4.83 with one row against 1.95, 2.72,
// 3.58, 3.98, 4.57, 4.91, 5.25 with two.
inline constexpr int INTERLEAVE = 2;

// The extents of a box and the place of a cell's term.
struct BoxShape {
    Index ni, nj, nk;
    Index row_start(const Box& b, int j, int k) const { return (Index(k - b.k0) * nj + (j - b.j0)) * ni; }
    Index cells() const { return ni * nj * nk; }
};

inline BoxShape shape(const Box& b) { return BoxShape{b.i1 - b.i0 + 1, b.j1 - b.j0 + 1, b.k1 - b.k0 + 1}; }

// Row (j, k) in the order O, each cell's term to its place when Store.
template <Order O, bool Store, class Kernel, class Term>
[[gnu::flatten]] inline void visit_one_row(const Grid& g, const Box& b, const BoxShape& s, int j, int k, const Kernel& kernel,
                          Term* terms) {
    const int ifirst = O == Order::forward ? b.i0 : b.i1;
    constexpr int d = O == Order::forward ? 1 : -1;
    const int n = b.i1 - b.i0 + 1;
    Index p = g.index(ifirst, j, k);
    Term* t = nullptr;
    if constexpr (Store) t = terms + s.row_start(b, j, k) + (ifirst - b.i0);
    int i = ifirst;
    for (int c = 0; c < n; ++c, i += d, p += d) {
        if constexpr (Store) {
            *t = kernel(Cell{i, j, k, p});
            t += d;
        } else {
            kernel(Cell{i, j, k, p});
        }
    }
}

// Two independent rows side by side, cell by cell: the dependent chain of
// one row's cells overlaps the other's.
template <Order O, bool Store, class Kernel, class Term>
[[gnu::flatten]] inline void visit_two_rows(const Grid& g, const Box& b, const BoxShape& s, const int* js, const int* ks,
                           const Kernel& kernel, Term* terms) {
    const int ifirst = O == Order::forward ? b.i0 : b.i1;
    const int ja = js[0], ka = ks[0], jb = js[1], kb = ks[1];
    Index pa = g.index(ifirst, ja, ka), pb = g.index(ifirst, jb, kb);
    Term* ta = nullptr;
    Term* tb = nullptr;
    if constexpr (Store) {
        ta = terms + s.row_start(b, ja, ka) + (ifirst - b.i0);
        tb = terms + s.row_start(b, jb, kb) + (ifirst - b.i0);
    }
    constexpr int d = O == Order::forward ? 1 : -1;
    const int n = b.i1 - b.i0 + 1;
    int i = ifirst;
    for (int c = 0; c < n; ++c, i += d, pa += d, pb += d) {
        if constexpr (Store) {
            *ta = kernel(Cell{i, ja, ka, pa});
            *tb = kernel(Cell{i, jb, kb, pb});
            ta += d;
            tb += d;
        } else {
            kernel(Cell{i, ja, ka, pa});
            kernel(Cell{i, jb, kb, pb});
        }
    }
}

template <Order O, bool Store, class Kernel, class Term>
inline void visit_some_rows(int m, const Grid& g, const Box& b, const BoxShape& s, const int* js, const int* ks,
                            const Kernel& kernel, Term* terms) {
    if (m == 2) {
        visit_two_rows<O, Store>(g, b, s, js, ks, kernel, terms);
        return;
    }
    for (int r = 0; r < m; ++r) visit_one_row<O, Store>(g, b, s, js[r], ks[r], kernel, terms);
}

// Hands the kept terms to the sums in the serial visiting order.
template <Order O, class Term, class Sums>
inline void fold(const Term* terms, Index n, Sums& sums) {
    if constexpr (O == Order::forward) {
        for (Index q = 0; q < n; ++q) sums.add(terms[q]);
    } else {
        for (Index q = n; q-- > 0;) sums.add(terms[q]);
    }
}

// ---- the ordered addition ---------------------------------------------------

// One segment of the term buffer: the terms first .. first+count-1, added in
// the order O (descending for a backward sweep), done once the progress
// counter of worker producer reaches done_at.
struct Segment {
    Index first, count;
    int producer;
    std::uint32_t done_at;
};

// The map from the segments of a job's term buffer, in the serial visiting
// order, to the workers that produce them and how far each must have got.
struct SegmentMap {
    enum class Kind {
        // Sweeps with blocks of j: segment y is the k plane the pipeline
        // visits y-th, finished when the last sweeper has published it (it
        // waited for the others before its rows of the plane).
        planes,
        // Sweeps with blocks of k: segment w is sweeper w's block of planes,
        // finished when it has published its last plane of the pipeline.
        blocks,
        // Passes: chunk c of chunk rows in serial order, dealt round to the
        // producers; each publishes how many chunks it has done.
        chunks,
    };
    Kind kind;
    Index ni, nj, nk;
    bool forward;      // planes and blocks: the order of the sweep
    int producers;     // the workers before the adder
    int npipe;         // blocks: the pipeline's planes
    Index rows, chunk; // chunks: rows of the pass, rows per chunk

    // First plane of sweeper w's block, counted in sweep order.
    Index block_start(int w) const { return nk * w / producers; }

    Index segments() const {
        switch (kind) {
        case Kind::planes: return nk;
        case Kind::blocks: return producers;
        case Kind::chunks: return (rows + chunk - 1) / chunk;
        }
        return 0;
    }

    Segment segment(Index s) const {
        const Index plane = ni * nj;
        switch (kind) {
        case Kind::planes:
            return Segment{(forward ? s : nk - 1 - s) * plane, plane, producers - 1,
                           static_cast<std::uint32_t>(s) + 1};
        case Kind::blocks: {
            const Index x0 = block_start(static_cast<int>(s)), x1 = block_start(static_cast<int>(s) + 1);
            const Index low = forward ? x0 : nk - x1;   // the block's lowest plane in the box
            return Segment{low * plane, (x1 - x0) * plane, static_cast<int>(s), static_cast<std::uint32_t>(npipe)};
        }
        case Kind::chunks: {
            const Index r0 = s * chunk, r1 = std::min(rows, r0 + chunk);
            return Segment{r0 * ni, (r1 - r0) * ni, static_cast<int>(s % producers),
                           static_cast<std::uint32_t>(s / producers) + 1};
        }
        }
        return Segment{0, 0, 0, 0};
    }
};

// The one ordered addition of the parallel visits: segment s of the map,
// added once its producer has published it. The adding worker goes through
// every segment in the serial visiting order (add_in_order); the last
// sweeper of blocks of j adds each plane as it finishes it, its own
// publication being the one waited for. Out of line: it is not worth
// inlining, and the compiler's budget is better spent on the kernels in the
// row loops.
template <Order O, class Term, class Sums>
[[gnu::noinline]] void add_segment(const SegmentMap& map, Index s, const Term* terms, const Counter* progress,
                                   Sums& sums) {
    const Segment g = map.segment(s);
    assert(g.producer >= 0 && g.producer < map.producers && "the adder waits only on workers that visit rows");
    assert(g.done_at >= 1 && g.count >= 0);
    progress[g.producer].wait_at_least(g.done_at);
    fold<O>(terms + g.first, g.count, sums);
}

template <Order O, class Term, class Sums>
void add_in_order(const SegmentMap& map, const Term* terms, const Counter* progress, Sums& sums) {
    const Index n = map.segments();
    for (Index s = 0; s < n; ++s) add_segment<O>(map, s, terms, progress, sums);
}

// ---- the schedules ------------------------------------------------------------

// How a sweep is shared out.
struct SweepPlan {
    bool split_j;     // blocks of j rows per sweeper, pipelined over k; else blocks of k
    int nsplit;       // rows along the shared axis
    int npipe;        // rows along the other
    int workers;      // sweepers, and the adder when there is one
    bool adder;       // the last worker adds the terms while the others sweep
    bool last_adds;   // blocks of j: the last sweeper adds each plane after its rows of it
    int last_rows;    // last_adds: the rows of the last sweeper's block, fewer than the others'
    int interleave;   // rows a sweeper visits at once
    int sweepers() const { return adder ? workers - 1 : workers; }

    // First x of sweeper w's block: even shares, or, when the last sweeper
    // adds, even shares of what its block of last_rows rows leaves.
    int block_start(int w) const {
        const int n = sweepers();
        if (w >= n) return nsplit;
        if (last_adds) {
            const int shared = nsplit - last_rows;
            return n == 1 ? 0 : static_cast<int>(static_cast<long long>(shared) * w / (n - 1));
        }
        return static_cast<int>(static_cast<long long>(nsplit) * w / n);
    }
};

// The cost of a row visited by a sweeper with a block of k planes, against
// one with a block of j rows. A block of j rows is one stretch of memory per
// plane, which the hardware prefetches as a stream; the rows a block of k
// planes visits in one step lie a plane apart, and every one of them starts
// a new stream.
// Measure: tarvex_bench_solver --reference --threads N --split j, against the
// same with --split k. On the quiet machine (load average below 0.3, 3
// repetitions) the speed-ups with blocks of j were 2.04 and 1.99 on 2
// threads, 3.41 on 4 and 5.68 on 8, against 1.87 and 1.83, 3.10 and 4.84
// with blocks of k: the scalar and momentum sweeps ran about a fifth faster
// per row with blocks of j.
inline constexpr double STRIDED_ROW = 1.2;

// Estimated time of a sweep whose blocks are cut along an axis of nsplit
// rows (j when split_j, else k), in visits of a row of a block of j rows:
// the rows per sweeper (interleaving makes them about twice as fast) and the
// start of the pipeline.
inline double sweep_estimate(int threads, Index nsplit, Index npipe, bool split_j) {
    const double w = static_cast<double>(std::min<Index>(threads, nsplit));
    const double row_cost = split_j ? 1.0 : STRIDED_ROW;
    return row_cost * static_cast<double>(nsplit * npipe) / (2.0 * w) + static_cast<double>(nsplit) * (w - 1.0) / w;
}

// The time of adding one row's terms to the sums, in row visits (a sweeper's
// interleaved row takes half a visit): a chain of dependent additions. Set
// from the measurements below, where the adder paid from five workers on.
inline constexpr double FOLD_ROW = 0.035;

// The same with the terms kept, for each way of adding them: by the caller
// after the sweep (after), by a worker of its own while the others sweep
// (adder: blocks of j, whose planes are done in the serial order), or by the
// last sweeper of blocks of j, plane by plane once its rows of the plane are
// done, with a block narrower by the time the adding takes (last).
//
// Measure: tarvex_bench_solver --reference --scan 8, against the same with
// --adder off (after), --adder on and --adder last. On the quiet machine
// (load average 0.5 to 1.6, 5 repetitions, medians) the speed-ups on 2 to 8
// threads were, with the adder from three workers on: 2.02, 2.38, 3.22,
// 4.08, 4.63, 4.87, 5.55; with the terms added after: 1.96, 2.69, 3.40, 3.86,
// 4.13, 4.42, 4.63; with the adder always: 1.33, 2.23, 2.94, 3.73, 4.26,
// 4.74, 4.83; with the last sweeper adding (which the estimate then took on
// every count): 1.98, 2.85, 3.53, 4.29, 4.77, 4.96, 5.48. The adder stays for
// boxes where the last sweeper's block would hold no row.
enum class Adding { after, adder, last };

// The rows of the last sweeper's block when it adds the planes, out of
// nsplit shared among n sweepers: the others' rows take as long as its rows
// and the addition, (1 - 2·FOLD_ROW·(n-1)) of an even share (a row of a
// sweeper takes half a visit, interleaved); 0 when not even one row is left.
inline int last_rows(int n, Index nsplit) {
    const double rows = static_cast<double>(nsplit) * (1.0 - 2.0 * FOLD_ROW * (n - 1)) / n;
    return rows >= 1.0 ? static_cast<int>(rows + 0.5) : 0;
}

inline double sweep_estimate_with_sums(int threads, Index nsplit, Index npipe, bool split_j, Adding adding) {
    const double fold = FOLD_ROW * static_cast<double>(nsplit * npipe);
    const int workers = static_cast<int>(std::min<Index>(threads, nsplit));
    switch (adding) {
    case Adding::adder:
        if (!split_j || workers < 3) break;
        return std::max(sweep_estimate(workers - 1, nsplit, npipe, true), fold) + FOLD_ROW * static_cast<double>(nsplit);
    case Adding::last:
        if (!split_j || workers < 2 || last_rows(workers, nsplit) < 1) break;
        return sweep_estimate(workers, nsplit, npipe, true) + fold / workers;
    case Adding::after: break;
    }
    return sweep_estimate(threads, nsplit, npipe, split_j) + fold;
}

// The plan of a sweep on threads threads (2 or more); workers < 2 when the
// box cannot be shared. A forced schedule (tests) overrides each choice the
// box allows.
inline SweepPlan plan_sweep(int threads, const BoxShape& s, bool keeps) {
    const Schedule forced = forced_schedule();
    // With the terms kept: the fastest estimate of blocks of j, each way of
    // adding, and of blocks of k (added after); a tie goes to adding after,
    // and to blocks of j. A forced split keeps the way of adding chosen for
    // blocks of j, or adds after with blocks of k.
    Adding adding_j = Adding::after;
    double best_j = 0.0;
    bool split_j = true;
    if (keeps) {
        best_j = sweep_estimate_with_sums(threads, s.nj, s.nk, true, Adding::after);
        for (Adding a : {Adding::adder, Adding::last}) {
            const double e = sweep_estimate_with_sums(threads, s.nj, s.nk, true, a);
            if (e < best_j) {
                best_j = e;
                adding_j = a;
            }
        }
        split_j = best_j <= sweep_estimate_with_sums(threads, s.nk, s.nj, false, Adding::after);
    } else {
        split_j = sweep_estimate(threads, s.nj, s.nk, true) <= sweep_estimate(threads, s.nk, s.nj, false);
    }
    if (forced.split == Schedule::Split::j && s.nj >= 2) split_j = true;
    if (forced.split == Schedule::Split::k && s.nk >= 2) split_j = false;
    Adding adding = split_j ? adding_j : Adding::after;
    if (keeps && forced.adder != Schedule::Adder::automatic)
        adding = forced.adder == Schedule::Adder::on     ? Adding::adder
                 : forced.adder == Schedule::Adder::last ? Adding::last
                                                         : Adding::after;
    SweepPlan p{};
    p.split_j = split_j;
    p.nsplit = static_cast<int>(split_j ? s.nj : s.nk);
    p.npipe = static_cast<int>(split_j ? s.nk : s.nj);
    p.workers = std::min(threads, p.nsplit);
    if (keeps && adding == Adding::adder) {
        // The adder is a worker more than the sweepers, of which there is
        // at least one (a forced adder, also with blocks of k).
        p.adder = true;
        if (forced.adder == Schedule::Adder::on) p.workers = std::min(threads, p.nsplit + 1);
    }
    if (keeps && adding == Adding::last && split_j) {
        // Forced where the estimate leaves no row: a block of one row.
        p.last_adds = true;
        p.last_rows = std::max(1, last_rows(p.workers, p.nsplit));
    }
    if (p.workers < 2) p.adder = p.last_adds = false;
    p.interleave = forced.interleave == 1 || forced.interleave == 2 ? forced.interleave : INTERLEAVE;
    return p;
}

template <Order O, class Kernel, class Sums>
struct SweepJob {
    static constexpr bool STORE = keeps_terms<Kernel, Sums>;
    using Term = StoredTerm<Kernel, Sums>;

    const Grid* g;
    const Box* b;
    const Kernel* kernel;
    BoxShape s;
    Term* terms;
    Counter* progress;
    SweepPlan plan;
    Sums* sums;   // the adder's or the last sweeper's (nullptr: the caller adds after the job)

    // The segments the adder goes through.
    SegmentMap segments() const {
        return SegmentMap{plan.split_j ? SegmentMap::Kind::planes : SegmentMap::Kind::blocks,
                          s.ni,
                          s.nj,
                          s.nk,
                          O == Order::forward,
                          plan.sweepers(),
                          plan.npipe,
                          0,
                          0};
    }

    // Row (x, y) of the sweep-order grid as (j, k).
    void row_at(int x, int y, int& j, int& k) const {
        const int a = plan.split_j ? x : y;   // steps along j
        const int c = plan.split_j ? y : x;   // steps along k
        if constexpr (O == Order::forward) {
            j = b->j0 + a;
            k = b->k0 + c;
        } else {
            j = b->j1 - a;
            k = b->k1 - c;
        }
    }

    static void run(void* ctx, int w) { static_cast<const SweepJob*>(ctx)->work(w); }

    void work(int w) const {
        if constexpr (STORE) {
            if (plan.adder && w == plan.workers - 1) {
                add_in_order<O>(segments(), terms, progress, *sums);
                return;
            }
        }
        sweep_rows(w);
    }

    void sweep_rows(int w) const {
        const Kernel own = *kernel;
        const int x0 = plan.block_start(w);
        const int len = plan.block_start(w + 1) - x0;
        assert(len >= 1 && "every sweeper's block holds a row");
        Counter& mine = progress[w];
        const Counter* upstream = w > 0 ? &progress[w - 1] : nullptr;
        const int il = plan.interleave;
        int js[INTERLEAVE], ks[INTERLEAVE];
        [[maybe_unused]] const bool adds = STORE && plan.last_adds && w == plan.sweepers() - 1;
        for (int y0 = 0; y0 < plan.npipe; y0 += il) {
            const int m = std::min(il, plan.npipe - y0);
            for (int step = 0; step < len + m - 1; ++step) {
                if (upstream != nullptr && step < m) upstream->wait_at_least(static_cast<std::uint32_t>(y0 + step) + 1);
                const int rlo = std::max(0, step - len + 1);
                const int rhi = std::min(m - 1, step);
                for (int r = rlo; r <= rhi; ++r) row_at(x0 + step - r, y0 + r, js[r - rlo], ks[r - rlo]);
                visit_some_rows<O, STORE>(rhi - rlo + 1, *g, *b, s, js, ks, own, terms);
                if (step - rlo == len - 1) {
                    mine.publish(static_cast<std::uint32_t>(y0 + rlo) + 1);
                    // Plane y0 + rlo is done: every sweeper before this one
                    // published it before this one's first row of it.
                    if constexpr (STORE) {
                        if (adds) {
                            const SegmentMap map = segments();
                            assert(map.segment(y0 + rlo).producer == w && map.segment(y0 + rlo).done_at == mine.load());
                            add_segment<O>(map, y0 + rlo, terms, progress, *sums);
                        }
                    }
                }
            }
        }
        // What the adder waits for is what this sweeper published: the last
        // sweeper's count of planes, or each sweeper's whole block.
        if constexpr (STORE) {
            if (plan.adder) {
                [[maybe_unused]] const SegmentMap map = segments();
                if (plan.split_j && w == plan.sweepers() - 1)
                    assert(map.segment(plan.npipe - 1).producer == w &&
                           map.segment(plan.npipe - 1).done_at == mine.load());
                if (!plan.split_j)
                    assert(map.segment(w).producer == w && map.segment(w).done_at == mine.load() &&
                           map.block_start(w) == x0 && map.block_start(w + 1) == x0 + len);
            }
        }
    }
};

template <class Kernel, class Sums>
struct PassJob {
    static constexpr bool STORE = keeps_terms<Kernel, Sums>;
    using Term = StoredTerm<Kernel, Sums>;

    const Grid* g;
    const Box* b;
    const Kernel* kernel;
    BoxShape s;
    Term* terms;
    int workers;
    // With sums and an adder, the last worker visits no rows but adds the
    // terms while the others go on: the rows, in serial order, are cut into
    // chunks dealt round to the producers 0, 1, ...; each of them takes its
    // chunks in order and publishes how many it has done. Otherwise every
    // worker has one run of rows and the caller adds the terms after the job.
    Sums* sums;   // the adder's (nullptr: added after the job)
    Counter* progress;
    long long chunk_rows;

    static void run(void* ctx, int w) { static_cast<const PassJob*>(ctx)->work(w); }

    long long rows() const { return static_cast<long long>(s.nj) * s.nk; }
    SegmentMap chunks() const {
        return SegmentMap{SegmentMap::Kind::chunks, s.ni, s.nj, s.nk, true, workers - 1, 0, rows(), chunk_rows};
    }

    void visit(const Kernel& own, long long r0, long long r1) const {
        for (long long r = r0; r < r1; ++r) {
            const int j = b->j0 + static_cast<int>(r % s.nj);
            const int k = b->k0 + static_cast<int>(r / s.nj);
            visit_one_row<Order::forward, STORE>(*g, *b, s, j, k, own, terms);
        }
    }

    void work(int w) const {
        const long long n = rows();
        if constexpr (STORE) {
            if (sums != nullptr) {
                const SegmentMap map = chunks();
                if (w == workers - 1) {
                    add_in_order<Order::forward>(map, terms, progress, *sums);
                    return;
                }
                const Kernel own = *kernel;
                std::uint32_t done = 0;
                for (long long c = w; c < map.segments(); c += map.producers) {
                    assert(map.segment(c).producer == w && map.segment(c).done_at == done + 1);
                    const long long r0 = c * chunk_rows;
                    visit(own, r0, std::min(n, r0 + chunk_rows));
                    progress[w].publish(++done);
                }
                return;
            }
        }
        const Kernel own = *kernel;
        visit(own, n * w / workers, n * (w + 1) / workers);
    }
};

// Whether a box is worth sharing out, and among how many workers at most.
inline int threads_for(const BoxShape& s) {
    if (s.ni < 1 || s.nj < 1 || s.nk < 1) return 1;
    if (s.cells() < parallel_min_cells()) return 1;
    return pool_threads();
}

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A serial visit that the count's tuner chose: timed, and recorded under a
// lease afterwards. (The serial loop is called from one place only, so that
// the compiler still inlines the kernel into it.)
struct SerialTiming {
    CountTuner* tuner = nullptr;
    std::chrono::steady_clock::time_point t0;
    void done(const BoxShape& s) const {
        if (tuner == nullptr) return;
        const double seconds = seconds_since(t0);
        PoolLease lease;
        if (lease) tuner->record(1, static_cast<double>(s.cells()), seconds);
    }
};

template <Order O, class Kernel, class Sums>
inline bool parallel_sweep(const Grid& g, const Box& b, const Kernel& kernel, Sums& sums, SerialTiming& timing) {
    const BoxShape s = shape(b);
    const int threads = threads_for(s);
    if (threads < 2) return false;
    using Job = SweepJob<O, Kernel, Sums>;
    PoolLease lease;
    if (!lease) return false;
    // One tuner per kind of sweep (kernel, order and sums), used under the
    // lease only.
    static CountTuner tuner;
    const bool adapts = count_adapts();
    const auto t0 = std::chrono::steady_clock::now();
    const int chosen = adapts ? tuner.choose(threads) : threads;
    const SweepPlan plan = chosen >= 2 ? plan_sweep(chosen, s, Job::STORE) : SweepPlan{};
    if (plan.workers < 2) {
        if (adapts) timing = SerialTiming{&tuner, t0};
        return false;
    }
    assert(plan.sweepers() >= 1 && plan.sweepers() <= plan.nsplit);
    typename Job::Term* terms = nullptr;
    if constexpr (Job::STORE)
        terms = static_cast<typename Job::Term*>(lease.terms(sizeof(typename Job::Term) * s.cells()));
    Job job{&g, &b, &kernel, s, terms, lease.progress(), plan, plan.adder || plan.last_adds ? &sums : nullptr};
    lease.run(plan.workers, &Job::run, &job);
    if constexpr (Job::STORE) {
        if (!plan.adder && !plan.last_adds) fold<O>(terms, s.cells(), sums);
    }
    if (adapts) tuner.record(plan.workers, static_cast<double>(s.cells()), seconds_since(t0));
    return true;
}

template <class Kernel, class Sums>
inline bool parallel_pass(const Grid& g, const Box& b, const Kernel& kernel, Sums& sums, SerialTiming& timing) {
    const BoxShape s = shape(b);
    const int threads = threads_for(s);
    if (threads < 2) return false;
    using Job = PassJob<Kernel, Sums>;
    PoolLease lease;
    if (!lease) return false;
    static CountTuner tuner;   // one per kind of pass, used under the lease only
    const bool adapts = count_adapts();
    const auto t0 = std::chrono::steady_clock::now();
    const int chosen = adapts ? tuner.choose(threads) : threads;
    const long long rows = static_cast<long long>(s.nj) * s.nk;
    int workers = static_cast<int>(std::min<long long>(chosen, rows));
    // The adder pays from three workers on (two producers).
    const Schedule forced = forced_schedule();
    bool adder = Job::STORE && workers >= 3;
    if (Job::STORE && forced.adder != Schedule::Adder::automatic) {
        adder = forced.adder == Schedule::Adder::on;
        if (adder) workers = static_cast<int>(std::min<long long>(chosen, rows + 1));
    }
    if (workers < 2) {
        if (adapts) timing = SerialTiming{&tuner, t0};
        return false;
    }
    typename Job::Term* terms = nullptr;
    if constexpr (Job::STORE)
        terms = static_cast<typename Job::Term*>(lease.terms(sizeof(typename Job::Term) * s.cells()));
    // Chunks of about an eighth of each producer's share.
    const long long chunk_rows = adder ? std::max(1LL, rows / (8LL * (workers - 1))) : rows;
    Job job{&g, &b, &kernel, s, terms, workers, adder ? &sums : nullptr, lease.progress(), chunk_rows};
    lease.run(workers, &Job::run, &job);
    if constexpr (Job::STORE) {
        if (!adder) fold<Order::forward>(terms, s.cells(), sums);
    }
    if (adapts) tuner.record(workers, static_cast<double>(s.cells()), seconds_since(t0));
    return true;
}
}  // namespace detail

// A sweep or pass runs on the solver's threads when the box is large enough
// and the pool is free, else serially; the results are the same to the bit.
template <class Kernel, class Sums>
inline void sweep(const Grid& g, const Box& b, Order order, const Kernel& kernel, Sums& sums) {
    detail::SerialTiming timing;
    if (order == Order::forward) {
        if (detail::parallel_sweep<Order::forward>(g, b, kernel, sums, timing)) return;
        detail::serial<Order::forward>(g, b, kernel, sums);
    } else {
        if (detail::parallel_sweep<Order::backward>(g, b, kernel, sums, timing)) return;
        detail::serial<Order::backward>(g, b, kernel, sums);
    }
    timing.done(detail::shape(b));
}

template <class Kernel>
inline void sweep(const Grid& g, const Box& b, Order order, const Kernel& kernel) {
    NoSums none;
    sweep(g, b, order, kernel, none);
}

template <class Kernel, class Sums>
inline void pass(const Grid& g, const Box& b, const Kernel& kernel, Sums& sums) {
    detail::SerialTiming timing;
    if (detail::parallel_pass(g, b, kernel, sums, timing)) return;
    detail::serial<Order::forward>(g, b, kernel, sums);
    timing.done(detail::shape(b));
}

template <class Kernel>
inline void pass(const Grid& g, const Box& b, const Kernel& kernel) {
    NoSums none;
    pass(g, b, kernel, none);
}

// Calls fn(cell, rows) for every cell of the grid that a pressure-boundary box
// holds, forward order, rows in table order. Planes and rows that no box
// touches are passed over whole. The row sets were built for the grid of the
// last BUILD_PBCELLS; the bounds keep the cells inside both grids.
template <class Fn>
inline void pb_cells(const Grid& g, Fn&& fn) {
    const auto& a = pbcells_detail::pbaxis;
    const int nx = std::min(a.NXB, g.nx);
    const int ny = std::min(a.NYB, g.ny);
    const int nz = std::min(a.NZB, g.nz);
    for (int k = 1; k <= nz; ++k) {
        const PbRowSet in_plane = pb_rows_plane(k);
        if (in_plane.empty()) continue;
        for (int j = 1; j <= ny; ++j) {
            const PbRowSet in_row = in_plane & a.ROWSJ[j];
            if (in_row.empty()) continue;
            for (int i = 1; i <= nx; ++i) {
                const PbRowSet rows = in_row & a.ROWSI[i];
                if (rows.empty()) continue;
                fn(Cell{i, j, k, g.index(i, j, k)}, rows);
            }
        }
    }
}

}  // namespace tarvex::loops
