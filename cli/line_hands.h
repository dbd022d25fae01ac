#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "link/link.h"
#include "link/link_observer.h"

// The provisioning line's trackers in hand, each written on a worker of its own, and the one
// thread that owns the database and the output.
namespace korvan::cli {

// What a worker hands back to the line's own thread: its database steps, run there one at a
// time, and its end.
template <typename Finished>
class LineHands {
  public:
    // On a worker: runs `step` on the line's thread and returns once it is done.
    void onLineThread(const std::function<void()>& step) {
        std::unique_lock lock(mutex_);
        Posted posted{&step};
        steps_.push_back(&posted);
        wake_.notify_all();
        done_.wait(lock, [&posted] { return posted.done; });
    }
    // On a worker, as its last call.
    void finished(Finished result) {
        std::lock_guard lock(mutex_);
        finished_.push_back(std::move(result));
        wake_.notify_all();
    }
    // On any thread: a device may have come or gone.
    void devicesChanged() {
        std::lock_guard lock(mutex_);
        devicesChanged_ = true;
        wake_.notify_all();
    }

    // On the line's thread: waits at most `atMost` of real time for a step, an end or a
    // device change; then runs the steps posted, and returns the trackers finished.
    std::vector<Finished> wait(std::chrono::milliseconds atMost) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, atMost,
                       [this] { return !steps_.empty() || !finished_.empty() || devicesChanged_; });
        while (!steps_.empty()) {
            Posted* posted = steps_.front();
            steps_.pop_front();
            lock.unlock();
            // Done however the step ends, so that its worker is never left waiting.
            struct MarkDone {
                std::unique_lock<std::mutex>& lock;
                Posted* posted;
                std::condition_variable& done;
                ~MarkDone() {
                    lock.lock();
                    posted->done = true;
                    done.notify_all();
                }
            } mark{lock, posted, done_};
            (*posted->step)();
        }
        std::vector<Finished> ended;
        ended.swap(finished_);
        return ended;
    }
    // On the line's thread: whether a device came or went since it was last asked.
    bool takeDevicesChanged() {
        std::lock_guard lock(mutex_);
        return std::exchange(devicesChanged_, false);
    }

  private:
    struct Posted {
        const std::function<void()>* step;
        bool done = false;
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Posted*> steps_;
    std::vector<Finished> finished_;
    bool devicesChanged_ = false;
};

// A worker's wire trace, held until its tracker is done and then told whole, on the line's
// thread, to the observer of -v and --trace: trackers written side by side never mix their
// lines, and the observer is only ever called from one thread.
class HeldTrace final : public LinkObserver {
  public:
    void opened(const LinkTarget& target) override;
    void written(std::span<const std::uint8_t> bytes, Clock::Duration at) override;
    void received(std::span<const std::uint8_t> bytes, Clock::Duration at) override;
    void closed(Clock::Duration at) override;
    void tellTo(LinkObserver& observer) const;

  private:
    struct Event {
        enum class Kind : std::uint8_t { Opened, Written, Received, Closed } kind;
        LinkTarget target;
        std::vector<std::uint8_t> bytes;
        Clock::Duration at{0};
    };
    std::vector<Event> events_;
};

}  // namespace korvan::cli
