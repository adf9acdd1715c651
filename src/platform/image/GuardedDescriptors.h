#pragma once

#include <array>
#include <mutex>

namespace qv {

// File descriptors that one thread may close while others transfer through
// them: a transfer holds a Use, and the descriptors are closed when the
// last Use after close() ends, so no call sees a closed or reused number.
class GuardedDescriptors {
public:
    explicit GuardedDescriptors(int first, int second = -1) : fds_{first, second} {}
    ~GuardedDescriptors() { closeAll(); }
    GuardedDescriptors(const GuardedDescriptors&) = delete;
    GuardedDescriptors& operator=(const GuardedDescriptors&) = delete;

    class Use {
    public:
        ~Use()
        {
            if (owner_)
                owner_->release();
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        explicit operator bool() const { return owner_ != nullptr; }
        int operator[](size_t i) const { return fds_[i]; }

    private:
        friend class GuardedDescriptors;
        Use(GuardedDescriptors* owner, std::array<int, 2> fds) : owner_(owner), fds_(fds) {}
        GuardedDescriptors* owner_;
        std::array<int, 2> fds_;
    };

    // An empty Use (false) once closed.
    Use use()
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return Use(nullptr, {-1, -1});
        ++inFlight_;
        return Use(this, fds_);
    }

    void close()
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        closed_ = true;
        if (inFlight_ == 0)
            closeAll();
    }

    bool isOpen() const
    {
        std::lock_guard lock(mutex_);
        return !closed_;
    }

private:
    void release()
    {
        std::lock_guard lock(mutex_);
        if (--inFlight_ == 0 && closed_)
            closeAll();
    }
    void closeAll();

    mutable std::mutex mutex_;
    std::array<int, 2> fds_;
    int inFlight_ = 0;
    bool closed_ = false;
};

}  // namespace qv
