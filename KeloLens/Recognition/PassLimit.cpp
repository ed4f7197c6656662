// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/PassLimit.h"

#include <tesseract/ocrclass.h>

namespace {

bool isCancelled(void *limit, int /*words*/)
{
    return static_cast<const PassLimit *>(limit)->isReached();
}

} // namespace

void PassLimit::watch(tesseract::ETEXT_DESC &monitor) const
{
    monitor.cancel = &isCancelled;
    monitor.cancel_this = const_cast<PassLimit *>(this);
}
