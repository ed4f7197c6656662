#include "KeloLens/Recognition/RecognitionLog.h"

Q_LOGGING_CATEGORY(lcRecognition, "kelolens.recognition")
