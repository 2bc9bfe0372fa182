// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include <QString>

// The worker threads of one owner. Each worker runs one callable on its own
// std::thread; what it throws is logged (category "orvane") and ends only that
// worker. Ended workers are joined by the next start() or reapFinished(), so a
// long-lived owner does not pile up finished threads. The destructor refuses
// new workers and joins every one, so an owner that holds this as a member
// (declared after what the workers use) never dies under a running worker.
//
// Workers must not wait for the thread that joins them (for the main thread,
// that means no Qt::BlockingQueuedConnection while the owner can be destroyed).
// Any thread may call every member.
class WorkerThreads {
public:
    // `name` begins the log line of a worker that throws ("A copy job" gives
    // "A copy job stopped: ...").
    explicit WorkerThreads(QString name = QStringLiteral("A worker"));
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs `body` on a new thread, after joining the workers that have ended.
    // False, and nothing runs, once stop() has been called.
    bool start(std::function<void()> body);
    // Joins the workers that have ended; never waits for a running one.
    void reapFinished();
    // Waits for every worker, including those started while it waits. A
    // worker that calls this (its owner dies on it) is detached instead of
    // waiting for itself.
    void joinAll();
    // Refuses later starts. Workers already running go on.
    void stop();
    bool isStopped() const;
    // stop(), then joinAll().
    void stopAndJoinAll();

    // The workers not joined yet, running or ended.
    std::size_t count() const;
    // The workers whose callable has not returned yet.
    std::size_t runningCount() const;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Takes the ended workers (or all) out of the list, under the lock.
    std::list<Worker> takeWorkers(bool onlyFinished);
    static void join(std::list<Worker>& workers);

    const QString m_name;
    mutable std::mutex m_mutex;
    bool m_stopped = false;
    std::list<Worker> m_workers;
};
