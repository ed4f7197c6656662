// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/RecognitionLog.h"

Q_LOGGING_CATEGORY(lcRecognition, "kelolens.recognition")
