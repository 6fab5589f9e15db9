#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that run one task together, again and again: the
// threads are made once, on the first run, so a frame starts none and a pool
// never used starts none at all. run(task) calls task(0) on the calling
// thread and task(1) ... task(size() - 1) on the others, and returns when all
// have returned; what the tasks wrote is then visible to the caller. A pool
// of size 1 runs everything on the caller.
class WorkerPool {
  public:
    explicit WorkerPool(int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int32_t size() const { return threads_; }

    template <class Task>
    void run(const Task& task) {
        runErased([](const void* context,
                     int32_t worker) { (*static_cast<const Task*>(context))(worker); },
                  &task);
    }

  private:
    using ErasedTask = void (*)(const void* context, int32_t worker);

    void runErased(ErasedTask task, const void* context);
    void serve(int32_t worker);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    ErasedTask task_ = nullptr;
    const void* context_ = nullptr;
    uint64_t generation_ = 0;  // one more for every run
    int32_t running_ = 0;      // workers still inside the current run
    bool stopping_ = false;
    int32_t threads_;
    std::vector<std::thread> workers_;  // threads_ - 1 of them once started
};
