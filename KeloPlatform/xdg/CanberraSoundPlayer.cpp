// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/CanberraSoundPlayer.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <canberra.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcSound, "kelolens.platform.sound")

} // namespace

struct CanberraSoundPlayer::Context
{
    ca_context *handle = nullptr;
    bool isOpen = false;
    bool hasFailed = false;
};

CanberraSoundPlayer::CanberraSoundPlayer() : m_context(std::make_unique<Context>())
{
    if (ca_context_create(&m_context->handle) != CA_SUCCESS) {
        m_context->handle = nullptr;
        return;
    }
    ca_context_change_props(m_context->handle, CA_PROP_APPLICATION_NAME, "KeloLens",
                            CA_PROP_APPLICATION_ID, "app.kelolens.KeloLens", nullptr);
}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    if (m_context->handle != nullptr) {
        ca_context_destroy(m_context->handle);
    }
}

void CanberraSoundPlayer::play(const QString &eventId)
{
    int result = CA_ERROR_NOTAVAILABLE;
    if (m_context->handle != nullptr) {
        // Opened at the first sound, so an application that never plays one never connects.
        if (!m_context->isOpen) {
            result = ca_context_open(m_context->handle);
            m_context->isOpen = result == CA_SUCCESS;
        }
        if (m_context->isOpen) {
            const QByteArray id = eventId.toUtf8();
            result = ca_context_play(m_context->handle, 0, CA_PROP_EVENT_ID, id.constData(),
                                     CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
        }
    }
    if (result == CA_SUCCESS) {
        return;
    }
    ++m_failureCount;
    if (!m_context->hasFailed) {
        m_context->hasFailed = true;
        qCInfo(lcSound).noquote()
            << QStringLiteral("KeloLens: could not play the sound %1 (%2); further sounds fail "
                              "quietly")
                   .arg(eventId, QString::fromUtf8(ca_strerror(result)));
    }
}

} // namespace KeloPlatform
