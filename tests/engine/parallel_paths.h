// A guard for tests that run the solver on several threads.
#pragma once

#include "engine/solver_pool.h"
#include "engine/solver_threads.h"

namespace tarvex::test {

// For tests that run the solver on several threads: small grids take the
// parallel paths while it lives; afterwards the thread count is the default
// again and the size below which work stays serial is what it was.
class ParallelPaths {
public:
    ParallelPaths() : min_cells_(loops::parallel_min_cells()) { loops::set_parallel_min_cells(0); }
    ~ParallelPaths() {
        set_solver_threads(0);
        loops::set_parallel_min_cells(min_cells_);
    }
    ParallelPaths(const ParallelPaths&) = delete;
    ParallelPaths& operator=(const ParallelPaths&) = delete;

private:
    int min_cells_;
};

}  // namespace tarvex::test
