#include "KeloPlatform/WindowSystem.h"

namespace KeloPlatform {
namespace {

class NullWindowSystem final : public WindowSystem
{
public:
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
    bool activate(const RunningApplication &) override { return false; }
};

} // namespace

std::unique_ptr<WindowSystem> createNullWindowSystem()
{
    return std::make_unique<NullWindowSystem>();
}

#ifndef KELO_HAVE_X11
std::unique_ptr<WindowSystem> createWindowSystem()
{
    return createNullWindowSystem();
}
#endif

WindowSystem &windowSystem()
{
    static const std::unique_ptr<WindowSystem> shared = createWindowSystem();
    return *shared;
}

} // namespace KeloPlatform
