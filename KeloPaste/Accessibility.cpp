// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPaste/Accessibility.h"

#include "KeloPlatform/SyntheticKeys.h"

bool Accessibility::isTrusted() const
{
    return m_keys->isAvailable();
}

bool Accessibility::isPossible() const
{
    return m_keys->isSupported();
}

bool Accessibility::isKeptAcrossStarts() const
{
    return m_keys->isKeptAcrossStarts();
}

void Accessibility::request()
{
    m_keys->requestAccess();
}

bool Accessibility::isAsking() const
{
    return m_keys->isAsking();
}

void Accessibility::setOnAskingChanged(std::function<void(bool isAsking)> callback)
{
    m_keys->onAskingChanged = std::move(callback);
}
