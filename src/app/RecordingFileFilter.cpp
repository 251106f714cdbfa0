#include "app/RecordingFileFilter.h"

#include "recording/ForeignRecording.h"

#include <QStringList>

QString recordingFileFilter()
{
    QStringList extensions = {"wav", "sigmf-meta", "au"};
    for (const char* raw : ForeignRecording::kRawExtensions)
        extensions << raw;
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << "*." + extension << "*." + extension.toUpper();
    return "Recordings (" + patterns.join(' ') + ");;All files (*)";
}
