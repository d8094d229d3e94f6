#pragma once
// Jobs shared out among threads: the chunks of a parse, the ranges of a weld, the faces of a
// material order.

#include <atomic>
#include <thread>
#include <vector>

namespace VELK
{

class CParallel
{
public:
    // Runs work(0) to work(jobs - 1) on up to threads threads, this one among them, each job
    // once and started in order of their numbers, and returns when all are done. Where no
    // thread can be started the others take its share. work must not throw.
    template <typename Work>
    static void run(unsigned threads, unsigned jobs, const Work& work);
};

template <typename Work>
void CParallel::run(unsigned threads, unsigned jobs, const Work& work)
{
    std::atomic<unsigned> next(0);
    const auto worker = [&next, jobs, &work]() {
        for (unsigned job = next++; job < jobs; job = next++)
            work(job);
    };
    std::vector<std::thread> started;
    if (threads > 1 && jobs > 1) {
        try {
            started.reserve(threads - 1);
            for (unsigned k = 1; k < threads && k < jobs; ++k)
                started.emplace_back(worker);
        } catch (...) {
        }
    }
    worker();
    for (std::thread& thread : started)
        thread.join();
}

} // namespace VELK
