#pragma once

#include "dgps/DgpsFirstWord.h"

// Told of every logged first word, on the decoding thread, right after the
// station table has taken its time.
class DgpsDecodeObserver {
public:
    virtual ~DgpsDecodeObserver() = default;
    virtual void firstWord(const DgpsFirstWord& word) = 0;
};
