// Linked into the measured programs (the product's own main and the minimal
// baseline). Inactive unless SIH_BENCH_PROBE=1 (or "first", which stops after the
// first paint). When active it reports, on one
// standard-output line:
//   first_paint_ns  the monotonic clock when the first window's first paint has been
//                   flushed (the launcher subtracts its own spawn time),
//   select_ns       from pressing the first window's "btnSelect" button until the
//                   next window's first paint has been flushed,
//   vmhwm_kb        peak resident memory with that second window open,
//   repaint_ns      one more paint of the main window, made at once, afterwards
//                   (what every later repaint costs, as after a file was loaded),
// and ends the process at once: tear-down is not measured. SIH_BENCH_AWAIT=<class>
// names the class of the window that counts after Select (the notice about an
// opened file, FileProblemsDialog): the others painted before it are not counted.

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// The system-wide monotonic clock, shared by the launcher and the launched program.
long long MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long long StatusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

[[noreturn]] void Finish(const char* line, int code)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
    std::_Exit(code);
}

// Times how long until a top-level window has been painted and flushed. The
// toolkit paints a window while it handles the window's expose or update request;
// the filter runs that handling itself, so that it can read the clock afterwards.
class PaintProbe : public QObject {
public:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Paint) {
            if (auto* widget = qobject_cast<QWidget*>(target)) {
                if (dispatching_ && widget->isWindow()) {
                    paintedWindow_ = widget;
                }
            }
            return false;
        }
        if (dispatching_ || (type != QEvent::Expose && type != QEvent::UpdateRequest)) {
            return false;
        }
        QWidget* window = WindowOf(target);
        // Before Select is pressed only the first window counts, afterwards only another one.
        const bool wanted = firstWindow_ == nullptr
            || (state_ == State::SelectPressed && window != firstWindow_
                && (awaited_.isEmpty() || window->inherits(awaited_.constData())));
        if (window == nullptr || !wanted) {
            return false;
        }
        dispatching_ = true;
        paintedWindow_ = nullptr;
        QCoreApplication::sendEvent(target, event);
        dispatching_ = false;
        if (paintedWindow_ == window) {
            Painted(window);
        }
        return true;
    }

private:
    static QWidget* WindowOf(QObject* target)
    {
        if (auto* widget = qobject_cast<QWidget*>(target)) {
            return widget->isWindow() ? widget : nullptr;
        }
        if (auto* window = qobject_cast<QWindow*>(target)) {
            for (QWidget* candidate : QApplication::topLevelWidgets()) {
                if (candidate->windowHandle() == window) {
                    return candidate;
                }
            }
        }
        return nullptr;
    }

    void Painted(QWidget* window)
    {
        const long long now = MonotonicNs();
        if (firstWindow_ == nullptr) {
            firstWindow_ = window;
            firstPaintNs_ = now;
            if (stopAtFirstPaint_) {
                Report();
            }
            // Let the start-up settle before pressing Select.
            QTimer::singleShot(100, this, [this] { PressSelect(); });
            return;
        }
        selectNs_ = now - selectAt_;
        state_ = State::Done;
        // Peak memory once the second window has had a moment to finish its work.
        QTimer::singleShot(200, this, [this] { Report(); });
    }

    void PressSelect()
    {
        auto* button = firstWindow_->findChild<QAbstractButton*>(QStringLiteral("btnSelect"));
        if (button == nullptr) {
            Finish("SIH_BENCH error=no-select-button\n", 3);
        }
        state_ = State::SelectPressed;
        selectAt_ = MonotonicNs();
        button->click();
    }

    void Report()
    {
        // SIH_BENCH_SMAPS=<file>: keep the memory map, to see where the resident memory is.
        const QString smaps = qEnvironmentVariable("SIH_BENCH_SMAPS");
        if (!smaps.isEmpty()) {
            QFile source(QStringLiteral("/proc/self/smaps"));
            QFile target(smaps);
            if (source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                target.write(source.readAll());
            }
        }
        long long repaintNs = -1;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->inherits("QMainWindow")) {
                const long long start = MonotonicNs();
                window->repaint();
                repaintNs = MonotonicNs() - start;
            }
        }
        char line[256];
        std::snprintf(line, sizeof line,
                      "SIH_BENCH first_paint_ns=%lld select_ns=%lld vmhwm_kb=%lld vmrss_kb=%lld repaint_ns=%lld\n",
                      firstPaintNs_, selectNs_, StatusKb("VmHWM"), StatusKb("VmRSS"), repaintNs);
        Finish(line, 0);
    }

    enum class State { Starting, SelectPressed, Done };

    State state_ = State::Starting;
    // SIH_BENCH_PROBE=first: end right after the first paint (for profiling start-up alone).
    const bool stopAtFirstPaint_ = qEnvironmentVariable("SIH_BENCH_PROBE") == QLatin1String("first");
    const QByteArray awaited_ = qgetenv("SIH_BENCH_AWAIT");
    bool dispatching_ = false;
    QPointer<QWidget> paintedWindow_;
    QWidget* firstWindow_ = nullptr;
    long long firstPaintNs_ = 0;
    long long selectAt_ = 0;
    long long selectNs_ = 0;
};

void InstallProbe()
{
    const QString mode = qEnvironmentVariable("SIH_BENCH_PROBE");
    if (mode != QLatin1String("1") && mode != QLatin1String("first")) {
        return;
    }
    auto* probe = new PaintProbe;
    probe->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(probe);
    // A program that never paints must not hang the benchmark.
    QTimer::singleShot(30000, probe, [] { Finish("SIH_BENCH error=timeout\n", 4); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
