// common.cpp -- parallelFor for the scene generator (see common.h).
#include "common.h"

#include <atomic>
#include <thread>
#include <vector>

void parallelFor(int count, const std::function<void(int)>& body)
{
    unsigned hardware = std::thread::hardware_concurrency();
    int threads = (int)std::min(2u, hardware == 0 ? 1u : hardware);
    if (threads <= 1 || count < 2) {
        for (int i = 0; i < count; i++)
            body(i);
        return;
    }
    // Items are handed out one at a time so both threads stay busy; the
    // order in which they finish does not matter because items are independent.
    std::atomic<int> nextItem{0};
    auto worker = [&]() {
        for (;;) {
            int i = nextItem.fetch_add(1);
            if (i >= count)
                return;
            body(i);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; t++)
        pool.emplace_back(worker);
    worker();
    for (auto& thread : pool)
        thread.join();
}
