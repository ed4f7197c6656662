#include "KeloPlatform/null/NullServices.h"

namespace KeloPlatform {

std::optional<RunningApplication> NullWindowSystem::frontmostApplication() const
{
    return std::nullopt;
}

bool NullWindowSystem::activate(const RunningApplication &)
{
    return false;
}

bool NullWindowSystem::isCompositing() const
{
    return false;
}

bool NullKeyGrabber::grab(uint32_t, const KeyChord &)
{
    return false;
}

void NullKeyGrabber::release(uint32_t) {}

std::unique_ptr<Keymap> NullKeymapSource::currentKeymap() const
{
    return nullptr;
}

bool NullSyntheticKeys::isAvailable() const
{
    return false;
}

bool NullSyntheticKeys::sendWithControl(uint32_t)
{
    return false;
}

bool NullLoginItem::isEnabled() const
{
    return m_isEnabled;
}

std::optional<QString> NullLoginItem::setEnabled(bool enabled)
{
    m_isEnabled = enabled;
    return std::nullopt;
}

void NullSoundPlayer::play(const QString &) {}

std::unique_ptr<Platform> createNullPlatform()
{
    auto platform = std::make_unique<Platform>();
    platform->backend = QStringLiteral("null");
    platform->windowSystem = std::make_unique<NullWindowSystem>();
    platform->keyGrabber = std::make_unique<NullKeyGrabber>();
    platform->keymapSource = std::make_unique<NullKeymapSource>();
    platform->syntheticKeys = std::make_unique<NullSyntheticKeys>();
    platform->loginItem = std::make_unique<NullLoginItem>();
    platform->soundPlayer = std::make_unique<NullSoundPlayer>();
    return platform;
}

} // namespace KeloPlatform
