#include "OrderedWorker.h"

#include <windows.h>

#include <system_error>

COrderedWorker::COrderedWorker()
{
    try {
        // The jobs run in the owner's locale, so their log lines are in the
        // owner's ANSI code page too.
        m_thread = std::thread([this, locale = GetThreadLocale()] {
            SetThreadLocale(locale);
            Run();
        });
    } catch (const std::system_error&) {
        // No thread: Add runs each job itself.
    }
}

COrderedWorker::~COrderedWorker()
{
    Finish();
}

bool COrderedWorker::RunOne(const std::function<bool()>& job)
{
    try {
        return job();
    } catch (...) {
        return false;
    }
}

bool COrderedWorker::Add(std::function<bool()> job)
{
    if (!m_thread.joinable()) {
        if (m_failed) return false;
        m_failed = !RunOne(job);
        return !m_failed;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_failed) return false;
    m_jobs.push_back(std::move(job));
    m_changed.notify_all();
    return true;
}

void COrderedWorker::WaitIdle()
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_jobs.empty() && !m_busy; });
}

bool COrderedWorker::Finish()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_ending = true;
            m_changed.notify_all();
        }
        m_thread.join();
    }
    return !m_failed;
}

bool COrderedWorker::Failed()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failed;
}

void COrderedWorker::Run()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return !m_jobs.empty() || m_ending; });
        if (m_jobs.empty()) return;  // ending, and nothing left
        std::function<bool()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        guard.unlock();
        bool done = RunOne(job);
        guard.lock();
        m_busy = false;
        if (!done) {
            m_failed = true;
            m_jobs.clear();
        }
        m_changed.notify_all();
    }
}
