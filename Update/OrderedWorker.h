// Runs jobs one after another, in the order they were added, on a thread of
// its own (in the owner's locale), so that their waiting overlaps with the
// caller's work. A job that answers false (or throws) ends the run: the jobs
// after it are dropped and Add refuses new ones. Where no thread can be
// started the jobs run at once on the caller's thread, in the same order.
//
// Threading: Add, WaitIdle, Finish and Failed from one thread, the owner's.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class COrderedWorker {
public:
    COrderedWorker();
    // Finishes the jobs added.
    ~COrderedWorker();
    COrderedWorker(const COrderedWorker&) = delete;
    COrderedWorker& operator=(const COrderedWorker&) = delete;

    // False, and the job is not run, once a job has failed.
    bool Add(std::function<bool()> job);
    // Returns once every job added has run (or been dropped).
    void WaitIdle();
    // WaitIdle, then ends the thread; true when no job failed.
    bool Finish();
    bool Failed();

private:
    void Run();
    bool RunOne(const std::function<bool()>& job);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::function<bool()>> m_jobs;
    bool m_busy = false;
    bool m_failed = false;
    bool m_ending = false;
    std::thread m_thread;
};
