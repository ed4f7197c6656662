// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tesseract spreads parts of one recognition over every core with OpenMP, which on a busy
// machine, or beside our own engines reading bands of the page at once, is several times slower
// than one thread per engine.
namespace OpenMpThreads {

// Whether the limit can be applied at all (the OpenMP runtime is present).
[[nodiscard]] bool canLimit();

// Lets the engines' parallel regions use every core again, or runs each on its calling thread.
void allowEngineThreads(bool isAllowed);

} // namespace OpenMpThreads
