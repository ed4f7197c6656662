// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class KeyCap;

// A shortcut as a row of key caps, one per entry, in order; equal entries are each drawn.
class KeyCaps final : public QWidget
{
    Q_OBJECT

public:
    explicit KeyCaps(const QStringList &keys = {}, QWidget *parent = nullptr);

    [[nodiscard]] const QStringList &keys() const { return m_keys; }
    void setKeys(const QStringList &keys);

private:
    [[nodiscard]] QList<KeyCap *> caps() const;

    QStringList m_keys;
    QHBoxLayout *m_layout;
};
