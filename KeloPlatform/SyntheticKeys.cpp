#include "KeloPlatform/SyntheticKeys.h"

namespace KeloPlatform::SyntheticKeys {

namespace detail {
bool isForcedUnavailable = false;
} // namespace detail

ScopedUnavailable::ScopedUnavailable() : m_wasUnavailable(detail::isForcedUnavailable)
{
    detail::isForcedUnavailable = true;
}

ScopedUnavailable::~ScopedUnavailable()
{
    detail::isForcedUnavailable = m_wasUnavailable;
}

#ifndef KELO_HAVE_X11
bool isAvailable()
{
    return false;
}

bool sendWithControl(uint32_t)
{
    return false;
}
#endif

} // namespace KeloPlatform::SyntheticKeys
