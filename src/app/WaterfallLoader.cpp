#include "app/WaterfallLoader.h"

#include "recording/RecordingObject.h"
#include "waterfall/WaterfallGenerator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>

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

void WaterfallLoader::start(const QString& path, int fftSize, double maxdB, double mindB)
{
    cancel();
    auto run = std::make_shared<Run>();
    run->id = nextId++;
    run->receiver = this;
    current = run;
    running = true;
    const std::string file = QFile::encodeName(path).toStdString();

    std::thread([run, file, fftSize, maxdB, mindB] {
        RecordingObject recording;
        std::vector<std::string> lines;
        recording.setRecordingFile(file, lines);
        if (!recording.isValidRecordingFile()) {
            run->post([id = run->id](WaterfallLoader* loader) { loader->end(id, false, 0); });
            return;
        }
        WaterfallGenerator generator(recording, fftSize, maxdB, mindB);
        const int total = generator.lineCount();
        constexpr int columns = WaterfallGenerator::kColumns;
        std::vector<int> row(columns + 1);
        QVector<int> batch;
        int batchStart = 0;
        QElapsedTimer sinceDelivery;
        sinceDelivery.start();
        for (int s = 0; s < total && !run->cancelled; ++s) {
            generator.computeLine(s, row.data());
            if (!recording.readError().empty()) {
                // Rows drawn from a failed read would only repeat the last one.
                run->post([id = run->id, s, why = QString::fromStdString(recording.readError())](
                              WaterfallLoader* loader) { loader->end(id, false, s, why); });
                return;
            }
            batch.append(QVector<int>(row.begin(), row.begin() + columns));
            const bool last = s + 1 == total;
            if (last || sinceDelivery.elapsed() >= 50) {
                run->post([id = run->id, batchStart, batch](WaterfallLoader* loader) {
                    loader->deliver(id, batchStart, columns, batch);
                });
                batch.clear();
                batchStart = s + 1;
                sinceDelivery.restart();
            }
        }
        const std::optional<WaterfallLevels::Range> levels = generator.levels().suggest();
        run->post([id = run->id, total, levels](WaterfallLoader* loader) {
            if (levels && loader->current && loader->current->id == id)
                emit loader->levelsMeasured(levels->minDb, levels->maxDb);
            loader->end(id, true, total);
        });
    }).detach();
}

void WaterfallLoader::deliver(quint64 id, int firstLine, int columns, const QVector<int>& rows)
{
    if (current && current->id == id)
        emit rowsReady(firstLine, columns, rows);
}

void WaterfallLoader::end(quint64 id, bool completed, int lines, const QString& problem)
{
    if (!current || current->id != id)
        return;
    current.reset();
    running = false;
    emit finished(completed, lines, problem);
}
