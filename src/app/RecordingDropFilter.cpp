#include "app/RecordingDropFilter.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

// The one local file or folder that MIME carries, or empty.
QString droppedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return {};
    const QString path = mime->urls().front().toLocalFile();
    const QFileInfo info(path);
    return info.isFile() || info.isDir() ? path : QString();
}

} // namespace

RecordingDropFilter::RecordingDropFilter(QWidget* window)
    : QObject(window)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool RecordingDropFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedFile(drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        emit recordingDropped(path);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
