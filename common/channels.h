// Numbered output channels.
//
// The engine writes whole lines to numbered channels and never touches a
// window. Whoever hosts the engine binds a sink to a channel: the front end
// binds its child windows, tests bind a capturing sink, and a channel without
// a sink writes to standard output.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// Channel numbers shared by both halves of the program.
enum Channel : int {
    CH_DEFAULT = 0,   // the run-time's default output (standard output)
    CH_SAVED = 3,     // saved-data file
    CH_CONSOLE = 6,   // console window: the engine's messages
    CH_RESID = 7,     // residuals display
    CH_ITER = 8,      // iteration-data window: the per-sweep lines
    CH_RESPLOT = 9,   // residuals-plot window
    CH_LOG = 10,      // residuals log
    CH_INPUT = 21,    // case and control files
    CH_VIEW = 99,     // plot viewer's window
};

inline constexpr int CHANNEL_COUNT = 100;

// Receives the lines written to one channel. write_line may be called from any
// thread; an implementation that touches a window must hand the line over to
// the thread that owns the window.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void write_line(std::string_view line) = 0;
};

// Binds a sink to a channel (nullptr: back to standard output). The sink must
// outlive its binding.
void set_channel_sink(int channel, LineSink* sink);
LineSink* channel_sink(int channel);

// Writes one line (without its line end) to a channel.
void write_line(int channel, std::string_view line);

// A sink that keeps every line; for tests and for hosts that collect output.
class CaptureSink : public LineSink {
public:
    void write_line(std::string_view line) override;
    std::vector<std::string> lines() const;
    std::string text() const;   // all lines, each followed by '\n'
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Binds a sink for the lifetime of the object and restores the earlier one.
class ScopedChannelSink {
public:
    ScopedChannelSink(int channel, LineSink* sink);
    ~ScopedChannelSink();
    ScopedChannelSink(const ScopedChannelSink&) = delete;
    ScopedChannelSink& operator=(const ScopedChannelSink&) = delete;

private:
    int channel_;
    LineSink* previous_;
};

}  // namespace tarvex
