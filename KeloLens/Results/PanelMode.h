// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a presentation is about: a text capture shows and acts on the text and the codes; a code
// capture acts only on the codes, and its text is made of their payloads.
enum class PanelMode { all, codesOnly };
