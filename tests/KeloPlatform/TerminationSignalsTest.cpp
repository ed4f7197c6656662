// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/TerminationSignals.h"

#include "support/TestSupport.h"

#include <QSignalSpy>

#include <csignal>
#include <gtest/gtest.h>

using KeloPlatform::TerminationSignals;

TEST(TerminationSignals, SignalsArriveLaterOnTheMainThreadAndTheOldHandlersComeBack)
{
    struct sigaction before = {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &before), 0);
    {
        TerminationSignals termination;
        ASSERT_TRUE(termination.isListening());
        // Dispositions belong to the process: a second listener would steal the first's.
        const TerminationSignals second;
        EXPECT_FALSE(second.isListening());

        QSignalSpy received(&termination, &TerminationSignals::received);
        ASSERT_EQ(::raise(SIGTERM), 0);
        ASSERT_EQ(::raise(SIGINT), 0);
        EXPECT_EQ(received.count(), 0) << "nothing may run inside the signal handler";
        ASSERT_TRUE(KeloTest::waitUntil([&] { return received.count() == 2; }));
        EXPECT_EQ(received.at(0).at(0).toInt(), SIGTERM);
        EXPECT_EQ(received.at(1).at(0).toInt(), SIGINT);
    }
    struct sigaction after = {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_TRUE(TerminationSignals().isListening()) << "listening is possible again";
}
