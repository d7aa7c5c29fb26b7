#pragma once
// A bounded hand-over between two threads. close() wakes every waiter: pop
// then returns false once the queue is empty, push drops its item.
#include <condition_variable>
#include <deque>
#include <mutex>

template <typename T>
class WorkQueue {
public:
    explicit WorkQueue(size_t capacity) : capacity_(capacity) {}

    bool push(T item) {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) return false;
        items_.push_back(std::move(item));
        ready_.notify_one();
        return true;
    }

    bool pop(T* item) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) return false;
        *item = std::move(items_.front());
        items_.pop_front();
        room_.notify_one();
        return true;
    }

    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        ready_.notify_all();
        room_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<T> items_;
    size_t capacity_;
    bool closed_ = false;
};
