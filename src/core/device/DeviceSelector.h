#pragma once

#include <string>
#include <vector>

namespace qv {

// The device selector of the main window: a list of item texts with one
// current position, which can be disabled.
class DeviceSelector {
public:
    virtual ~DeviceSelector() = default;
    virtual void reset() = 0;
    virtual int count() const = 0;
    virtual void append(const std::string& text) = 0;
    virtual void remove(int position) = 0;
    virtual int current() const = 0;
    virtual void setCurrent(int position) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// A selector held in memory: the CLI's and the tests'.
class MemorySelector : public DeviceSelector {
public:
    void reset() override { items_.clear(); current_ = -1; }
    int count() const override { return int(items_.size()); }
    void append(const std::string& text) override { items_.push_back(text); }
    void remove(int position) override
    {
        if (position < 0 || position >= count())
            return;
        items_.erase(items_.begin() + position);
        if (current_ >= count())
            current_ = count() - 1;
    }
    int current() const override { return current_; }
    void setCurrent(int position) override { current_ = position >= 0 && position < count() ? position : -1; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }

    bool enabled() const { return enabled_; }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::vector<std::string> items_;
    int current_ = -1;
    bool enabled_ = true;
};

}  // namespace qv
