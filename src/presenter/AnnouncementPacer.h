// SPDX-License-Identifier: GPL-3.0-or-later
// CAnnouncementPacer decides when a screen reader is told a new reading: no
// sooner than kMinInterval after the last one it was told. A reading that
// comes sooner is held, a newer one replaces it, and the held one is said
// once its time has come, so the last reading is never lost and speech never
// falls behind the tuner. The caller passes the time in. Any one thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>

class CAnnouncementPacer {
public:
    using Clock = std::chrono::steady_clock;
    // At most two announcements a second.
    static constexpr Clock::duration kMinInterval = std::chrono::milliseconds(500);

    // A new reading; it replaces one still held.
    void Offer(const std::string& text);
    // The held reading if its time has come (it is then no longer held).
    std::optional<std::string> Take(Clock::time_point now);
    // When the held reading may be said; empty while none is held.
    std::optional<Clock::time_point> DueAt() const;
    // Drops the held reading: what it said no longer holds.
    void Clear() { m_held.reset(); }

private:
    std::optional<std::string> m_held;
    std::optional<Clock::time_point> m_lastSaid;
};
