#include "app/WaterfallLoader.h"

#include "recording/RecordingObject.h"
#include "waterfall/WaterfallGenerator.h"
#include "waterfall/WaterfallPicture.h"
#include "waterfall/WaterfallRowPlan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

// State shared between the loader and one worker. The worker posts to the
// loader only under `lock` and only while `receiver` is set, so a loader that
// is being destroyed is never called.
struct WaterfallLoader::Run {
    quint64 id = 0;
    std::atomic<bool> cancelled{false};
    std::mutex lock;
    WaterfallLoader* receiver = nullptr;

    // Runs call(loader) on the loader's thread, unless the run was abandoned.
    template <typename F>
    void post(F call)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (receiver && !cancelled) {
            WaterfallLoader* loader = receiver;
            QMetaObject::invokeMethod(loader, [loader, call] { call(loader); }, Qt::QueuedConnection);
        }
    }
};

WaterfallLoader::WaterfallLoader(QObject* parent)
    : QObject(parent)
{
}

WaterfallLoader::~WaterfallLoader()
{
    cancel();
}

void WaterfallLoader::cancel()
{
    if (current) {
        std::lock_guard<std::mutex> guard(current->lock);
        current->cancelled = true;
        current->receiver = nullptr;
    }
    current.reset();
    running = false;
}

void WaterfallLoader::start(const QString& path, const RawIqSettings& raw, int lines, int fftSize, double maxdB,
                            double mindB, bool peakHold)
{
    cancel();
    auto run = std::make_shared<Run>();
    run->id = nextId++;
    run->receiver = this;
    current = run;
    running = true;
    const std::string file = QFile::encodeName(path).toStdString();

    std::thread([run, file, raw, lines, fftSize, maxdB, mindB, peakHold] {
        const quint64 id = run->id;
        RecordingObject recording;
        std::vector<std::string> info;
        recording.setRawIqSettings(raw);
        recording.setRecordingFile(file, info);
        if (!recording.isValidRecordingFile()) {
            run->post([id](WaterfallLoader* loader) { loader->end(id, false, 0); });
            return;
        }
        WaterfallGenerator generator(recording, fftSize, maxdB, mindB);
        if (peakHold)
            generator.usePeakHold();
        // Peak-hold rows are shared out over the threads, a few rows each at a time.
        const int batch = peakHold ? 2 * generator.peakHoldThreads() : 1;
        // The window's count of lines, so that its rows and these agree.
        const WaterfallRowPlan plan(lines, WaterfallRowPlan::kMaxWindowRows);
        auto picture = std::make_shared<WaterfallPicture>(plan.rowCount(), generator.fftSize(), generator.sampleRate());
        run->post([id, picture](WaterfallLoader* loader) {
            if (loader->isCurrent(id))
                emit loader->pictureStarted(picture);
        });
        int batchStart = 0;
        // A window that follows the recording's levels takes them from the
        // first rows, so that the rest is drawn with them from the start.
        const int earlyLevelRows = std::min(plan.rowCount(), kEarlyLevelRows);
        bool earlyLevelsSent = false;
        QElapsedTimer sinceDelivery;
        sinceDelivery.start();
        for (int r = 0, count = 0; r < plan.rowCount() && !run->cancelled; r += count) {
            count = std::min(batch, plan.rowCount() - r);
            if (!generator.computeRows(plan, r, count, *picture, r)) {
                // Rows drawn from a failed read would only repeat the last one.
                run->post([id, second = plan.firstSecond(r), why = QString::fromStdString(recording.readError())](
                              WaterfallLoader* loader) { loader->end(id, false, second, why); });
                return;
            }
            picture->setRowsDone(r + count);
            if (r + count == plan.rowCount() || sinceDelivery.elapsed() >= 50) {
                run->post([id, batchStart, end = r + count](WaterfallLoader* loader) {
                    if (loader->isCurrent(id))
                        emit loader->rowsReady(batchStart, end);
                });
                batchStart = r + count;
                sinceDelivery.restart();
            }
            if (!earlyLevelsSent && r + count >= earlyLevelRows && r + count < plan.rowCount()) {
                earlyLevelsSent = true;
                if (const std::optional<WaterfallLevels::Range> levels = generator.levels().suggest())
                    run->post([id, levels](WaterfallLoader* loader) {
                        if (loader->isCurrent(id))
                            emit loader->levelsMeasured(levels->minDb, levels->maxDb);
                    });
            }
        }
        const std::optional<WaterfallLevels::Range> levels = generator.levels().suggest();
        run->post([id, lines, levels](WaterfallLoader* loader) {
            if (levels && loader->isCurrent(id))
                emit loader->levelsMeasured(levels->minDb, levels->maxDb);
            loader->end(id, true, lines);
        });
    }).detach();
}

bool WaterfallLoader::isCurrent(quint64 id) const
{
    return current && current->id == id;
}

void WaterfallLoader::end(quint64 id, bool completed, int lines, const QString& problem)
{
    if (!current || current->id != id)
        return;
    current.reset();
    running = false;
    emit finished(completed, lines, problem);
}
