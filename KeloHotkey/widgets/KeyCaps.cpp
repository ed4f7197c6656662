// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/widgets/KeyCaps.h"

#include "KeloHotkey/widgets/KeyCap.h"

#include <QHBoxLayout>

KeyCaps::KeyCaps(const QStringList &keys, QWidget *parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(4);
    setKeys(keys);
}

void KeyCaps::setKeys(const QStringList &keys)
{
    if (keys == m_keys && m_layout->count() == keys.size()) {
        return;
    }
    m_keys = keys;
    for (KeyCap *cap : caps()) {
        delete cap;
    }
    for (const QString &key : keys) {
        m_layout->addWidget(new KeyCap(key, KeyCap::Size::regular, this), 0, Qt::AlignVCenter);
    }
    setAccessibleName(keys.join(u' '));
}

QList<KeyCap *> KeyCaps::caps() const
{
    return findChildren<KeyCap *>(QString(), Qt::FindDirectChildrenOnly);
}
