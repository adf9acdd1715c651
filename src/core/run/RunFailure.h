#pragma once

#include <string>

namespace qv {

// What a worker could not do, on which file or drive, and the system's
// error: filled by the worker before it sets RUN_FAILED, read by the page in
// the synchronous report that follows.
struct RunFailure {
    int action = 0;      // string id of what failed (str::kFailedOpen, ...); 0 = none
    std::string object;  // the file or drive it failed on
    int error = 0;       // errno, 0 when there is none

    bool empty() const { return action == 0; }
    void set(int whatFailed, std::string on, int errnoValue)
    {
        action = whatFailed;
        object = std::move(on);
        error = errnoValue;
    }
    void clear() { *this = RunFailure{}; }
};

// "cannot open /missing.img: No such file or directory"; empty when none.
std::string FailureText(const RunFailure& failure);

struct VolumeFailure;
// Why a drive could not be readied for a run: the text that says what to
// do, with the drive's path in it, or "cannot open PATH: error".
std::string VolumeFailureText(const VolumeFailure& failure, const std::string& path);

}  // namespace qv
