#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// One thread that runs one job at a time beside the caller: `start` hands it a job, `wait`
// returns once the job has ended. The thread is made with the first job and ends with the worker.
class AheadWorker {
public:
    AheadWorker() = default;
    AheadWorker(const AheadWorker&) = delete;
    AheadWorker& operator=(const AheadWorker&) = delete;

    ~AheadWorker() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    // Runs `job` on the worker thread; a job still running is waited for first.
    void start(std::function<void()> job) {
        wait();
        {
            std::lock_guard lock(mutex_);
            job_ = std::move(job);
            busy_ = true;
        }
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
        changed_.notify_all();
    }

    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return quit_ || busy_; });
            if (busy_) {
                std::function<void()> job = std::move(job_);
                lock.unlock();
                job();
                lock.lock();
                busy_ = false;
                changed_.notify_all();
            } else if (quit_) {
                return;
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};
