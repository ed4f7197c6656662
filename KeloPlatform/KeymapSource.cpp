#include "KeloPlatform/KeymapSource.h"

namespace KeloPlatform {
namespace {

class NullKeymapSource final : public KeymapSource
{
public:
    std::unique_ptr<Keymap> currentKeymap() const override { return nullptr; }
};

} // namespace

std::unique_ptr<KeymapSource> createNullKeymapSource()
{
    return std::make_unique<NullKeymapSource>();
}

#ifndef KELO_HAVE_X11
std::unique_ptr<KeymapSource> createSystemKeymapSource()
{
    return createNullKeymapSource();
}

std::unique_ptr<KeymapSource> createNamedKeymapSource(const QString &, const QString &)
{
    return nullptr;
}
#endif

} // namespace KeloPlatform
