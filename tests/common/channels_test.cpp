#include <gtest/gtest.h>

#include "common/channels.h"

namespace tarvex {

TEST(Channels, CaptureSinkReceivesLinesAndScopeRestores) {
    CaptureSink outer, inner;
    ScopedChannelSink bind_outer(CH_CONSOLE, &outer);
    write_line(CH_CONSOLE, " first");
    {
        ScopedChannelSink bind_inner(CH_CONSOLE, &inner);
        write_line(CH_CONSOLE, " second");
    }
    write_line(CH_CONSOLE, " third");
    EXPECT_EQ(outer.lines(), (std::vector<std::string>{" first", " third"}));
    EXPECT_EQ(inner.text(), " second\n");
}

TEST(Channels, OutOfRangeChannelHasNoSink) {
    CaptureSink sink;
    set_channel_sink(-1, &sink);
    set_channel_sink(CHANNEL_COUNT, &sink);
    EXPECT_EQ(channel_sink(-1), nullptr);
    EXPECT_EQ(channel_sink(CHANNEL_COUNT), nullptr);
}

}  // namespace tarvex
