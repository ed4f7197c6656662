// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class QWidget;

// Gives `widget` a card background: a rounded rectangle lightly filled with the text colour and
// edged with a hairline of it, drawn before the widget paints. Calling it again changes the
// radius. Meant for plain container widgets.
void keloCard(QWidget *widget, qreal cornerRadius);
