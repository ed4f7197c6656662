// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QStringList>

// The seam between a capture and whatever reads the image: the capture flow holds one of these
// so tests can put a scripted recognizer in its place.
class Recognizing
{
public:
    virtual ~Recognizing() = default;

    // Never fails: a failed half of the work contributes nothing.
    virtual QCoro::Task<RecognitionResult> recognize(QImage image, QStringList languages,
                                                     RecognitionOptions options) = 0;
    // Ends every pass under way early; their calls still complete, with what was found by then.
    virtual void cancelAll() {}
    // Gives back the memory kept warm between recognitions, once captures have paused.
    virtual void releaseIdleMemory() {}
};
