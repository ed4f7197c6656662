#include "KeloPaste/Accessibility.h"

#include "KeloPlatform/SyntheticKeys.h"

namespace Accessibility {

bool isTrusted()
{
    return KeloPlatform::SyntheticKeys::isAvailable();
}

void request() {}

} // namespace Accessibility
