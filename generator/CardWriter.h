// Writes a planned recorder card: the folders, every recording's data file and its front
// and rear movies, encoded two at a time so that both processor cores are busy. Files
// that exist already are kept, so an interrupted run can simply be run again.
#pragma once

#include "base/Result.h"
#include "generator/CardPlan.h"

#include <atomic>
#include <functional>
#include <string>

namespace kirvano {

struct CardWriteReport {
    int written = 0; // files written by this run
    int kept = 0;    // files that existed already
};

struct CardWriteOptions {
    int parallelMovies = 2;
    // Called from a worker thread now and then with the share of the work done (0..1).
    std::function<void(double done)> progress;
};

Result<CardWriteReport> WriteCard(const std::string& root, const CardPlan& plan,
                                  const std::atomic<bool>& cancel,
                                  const CardWriteOptions& options = {});

} // namespace kirvano
