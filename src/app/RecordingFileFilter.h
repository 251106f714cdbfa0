#pragma once

#include <QString>

// The file dialogs' filter for recordings: every kind the core opens, in
// lower and upper case (the dialogs match names case-sensitively here).
QString recordingFileFilter();
