// Joining consecutive recordings into one movie per camera and one telemetry data file,
// without re-encoding: Begin with the first recording, Append each further one in
// order, Write the outputs, Free (or let the job go). Problems with a rear movie or a
// data file only leave that output out; the front movie decides success.
#pragma once

#include "container/JoinDataFile.h"
#include "container/JoinMovie.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kirvano {

struct JoinOptions {
    bool replace = false; // existing outputs may be replaced (never an input)
    // Called with (done, 100): 0 at the start, 33, 66 and 99 as the outputs are written.
    std::function<void(int done, int total)> progress;
    const std::atomic<bool>* cancel = nullptr; // polled between copy windows
    // Test hooks: the free space of the target, and a write budget for the outputs.
    std::optional<std::uint64_t> freeSpaceForTests;
    std::optional<std::uint64_t> failAfterBytesForTests;
};

struct JoinJob {
    std::optional<JoinedMovie> front;
    std::optional<JoinedMovie> rear;
    std::optional<DataFile> data;
    bool withRear = false;
    bool withData = false;
    std::vector<std::string> inputs; // every input path (front, rear and data files)
    std::string error;               // why the last call failed
    std::vector<std::string> notes;  // outputs left out and why ("PATH: reason")
    // The paths written by the last successful Write (empty when not written).
    std::string frontOutput, rearOutput, dataOutput;
};

bool Begin(JoinJob& job, const std::string& firstMoviePath);
bool Append(JoinJob& job, const std::string& nextMoviePath);
bool Write(JoinJob& job, const std::string& outputMoviePath, const JoinOptions& options = {});
void Free(JoinJob& job);

// The bytes each output will take, for the free-space check.
struct JoinSizes {
    std::uint64_t front = 0, rear = 0, data = 0;
};

} // namespace kirvano
