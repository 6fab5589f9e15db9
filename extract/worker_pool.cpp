#include "extract/worker_pool.h"

WorkerPool::WorkerPool(int32_t threads) : threads_(threads < 1 ? 1 : threads) {}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : workers_) {
        thread.join();
    }
}

void WorkerPool::runErased(ErasedTask task, const void* context) {
    for (int32_t worker = static_cast<int32_t>(workers_.size()) + 1; worker < threads_; ++worker) {
        workers_.emplace_back([this, worker] { serve(worker); });
    }
    {
        const std::lock_guard lock(mutex_);
        task_ = task;
        context_ = context;
        running_ = static_cast<int32_t>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    task(context, 0);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return running_ == 0; });
}

void WorkerPool::serve(int32_t worker) {
    uint64_t seen = 0;
    while (true) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) {
            return;
        }
        seen = generation_;
        const ErasedTask task = task_;
        const void* const context = context_;
        lock.unlock();
        task(context, worker);
        lock.lock();
        if (--running_ == 0) {
            done_.notify_one();
        }
    }
}
