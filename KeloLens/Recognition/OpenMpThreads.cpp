// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/OpenMpThreads.h"

#include <dlfcn.h>

namespace {

// libgomp reads OMP_THREAD_LIMIT once, when the library loads, long before main(), and the
// engine asks for its thread counts explicitly, so neither the variable nor omp_set_num_threads
// helps. Allowing no active parallel level makes every parallel region run on the calling
// thread. The runtime is found at run time so that a build without OpenMP still works.
struct OpenMp
{
    void (*setMaxActiveLevels)(int) = nullptr;
    int defaultMaxActiveLevels = 1;
};

const OpenMp &openMp()
{
    static const OpenMp instance = [] {
        OpenMp found;
        found.setMaxActiveLevels =
            reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
        auto getMaxActiveLevels =
            reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "omp_get_max_active_levels"));
        if (getMaxActiveLevels) {
            found.defaultMaxActiveLevels = getMaxActiveLevels();
        }
        return found;
    }();
    return instance;
}

} // namespace

namespace OpenMpThreads {

bool canLimit()
{
    return openMp().setMaxActiveLevels != nullptr;
}

void allowEngineThreads(bool isAllowed)
{
    const OpenMp &omp = openMp();
    if (omp.setMaxActiveLevels) {
        omp.setMaxActiveLevels(isAllowed ? omp.defaultMaxActiveLevels : 0);
    }
}

} // namespace OpenMpThreads
