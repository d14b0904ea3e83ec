#include "settings/background_work.h"

#include <QEventLoop>
#include <QThread>

#include <exception>

namespace {

// A QThread of our own: QThread::create needs std::future, which not every Windows
// tool chain has.
class WorkerThread : public QThread {
public:
    explicit WorkerThread(const std::function<void()>& work)
        : work_(work)
    {
    }

protected:
    void run() override
    {
        try {
            work_();
        } catch (...) {
            failure = std::current_exception();
        }
    }

public:
    std::exception_ptr failure;

private:
    const std::function<void()>& work_;
};

} // namespace

void RunInBackground(const std::function<void()>& work)
{
    WorkerThread worker(work);
    QEventLoop loop;
    QObject::connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.wait();
    if (worker.failure) {
        std::rethrow_exception(worker.failure);
    }
}
