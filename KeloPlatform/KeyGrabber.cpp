#include "KeloPlatform/KeyGrabber.h"

namespace KeloPlatform {
namespace {

class NullKeyGrabber final : public KeyGrabber
{
public:
    bool grab(uint32_t, const KeyChord &) override { return false; }
    void release(uint32_t) override {}
};

} // namespace

std::unique_ptr<KeyGrabber> createNullKeyGrabber()
{
    return std::make_unique<NullKeyGrabber>();
}

#ifndef KELO_HAVE_X11
std::unique_ptr<KeyGrabber> createKeyGrabber()
{
    return createNullKeyGrabber();
}
#endif

} // namespace KeloPlatform
