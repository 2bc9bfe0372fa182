// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkerThreads.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "Log.h"

WorkerThreads::WorkerThreads(QString name)
    : m_name(std::move(name))
{
}

WorkerThreads::~WorkerThreads() { stopAndJoinAll(); }

bool WorkerThreads::start(std::function<void()> body)
{
    reapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(m_mutex);
    // Checked under the lock that joinAll() takes the list with, so a worker
    // started after stopAndJoinAll() has begun can never slip past it.
    if (m_stopped)
        return false;
    std::thread thread([name = m_name, body = std::move(body), done] {
        // An exception leaving a std::thread would end the program.
        try {
            body();
        } catch (const std::exception& error) {
            qCWarning(lcOrvane).noquote() << name << "stopped:" << error.what();
        } catch (...) {
            qCWarning(lcOrvane).noquote() << name << "stopped: unknown exception";
        }
        done->store(true);
    });
    m_workers.push_back(Worker{std::move(thread), std::move(done)});
    return true;
}

void WorkerThreads::reapFinished()
{
    std::list<Worker> ended = takeWorkers(true);
    join(ended);
}

void WorkerThreads::joinAll()
{
    // A worker may start another while we wait: take the list until it stays empty.
    for (;;) {
        std::list<Worker> workers = takeWorkers(false);
        if (workers.empty())
            return;
        join(workers);
    }
}

void WorkerThreads::stop()
{
    std::lock_guard lock(m_mutex);
    m_stopped = true;
}

bool WorkerThreads::isStopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

void WorkerThreads::stopAndJoinAll()
{
    stop();
    joinAll();
}

std::size_t WorkerThreads::count() const
{
    std::lock_guard lock(m_mutex);
    return m_workers.size();
}

std::size_t WorkerThreads::runningCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_workers.begin(), m_workers.end(),
                      [](const Worker& worker) { return !worker.done->load(); }));
}

std::list<WorkerThreads::Worker> WorkerThreads::takeWorkers(bool onlyFinished)
{
    std::list<Worker> taken;
    std::lock_guard lock(m_mutex);
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        const auto next = std::next(it);
        if (!onlyFinished || it->done->load())
            taken.splice(taken.end(), m_workers, it);
        it = next;
    }
    return taken;
}

void WorkerThreads::join(std::list<Worker>& workers)
{
    for (Worker& worker : workers) {
        if (!worker.thread.joinable())
            continue;
        if (worker.thread.get_id() == std::this_thread::get_id())
            worker.thread.detach();
        else
            worker.thread.join();
    }
}
