#include "common/channels.h"

#include <array>
#include <atomic>
#include <cstdio>

namespace tarvex {

namespace {

std::array<std::atomic<LineSink*>, CHANNEL_COUNT> g_sinks{};
std::mutex g_stdout_mutex;

bool valid_channel(int channel) { return channel >= 0 && channel < CHANNEL_COUNT; }

}  // namespace

void set_channel_sink(int channel, LineSink* sink) {
    if (valid_channel(channel)) g_sinks[channel].store(sink, std::memory_order_release);
}

LineSink* channel_sink(int channel) {
    return valid_channel(channel) ? g_sinks[channel].load(std::memory_order_acquire) : nullptr;
}

void write_line(int channel, std::string_view line) {
    if (LineSink* sink = channel_sink(channel)) {
        sink->write_line(line);
        return;
    }
    std::lock_guard<std::mutex> lock(g_stdout_mutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void CaptureSink::write_line(std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> CaptureSink::lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::string CaptureSink::text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string all;
    for (const auto& l : lines_) {
        all += l;
        all += '\n';
    }
    return all;
}

void CaptureSink::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

ScopedChannelSink::ScopedChannelSink(int channel, LineSink* sink)
    : channel_(channel), previous_(channel_sink(channel)) {
    set_channel_sink(channel, sink);
}

ScopedChannelSink::~ScopedChannelSink() { set_channel_sink(channel_, previous_); }

}  // namespace tarvex
