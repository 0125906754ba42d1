#include "presenter/AnnouncementPacer.h"

void CAnnouncementPacer::Offer(const std::string& text) {
    m_held = text;
}

std::optional<std::string> CAnnouncementPacer::Take(Clock::time_point now) {
    const std::optional<Clock::time_point> due = DueAt();
    if (!due || now < *due) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    text.swap(m_held);
    m_lastSaid = now;
    return text;
}

std::optional<CAnnouncementPacer::Clock::time_point> CAnnouncementPacer::DueAt() const {
    if (!m_held) {
        return std::nullopt;
    }
    // Before the first announcement any time will do.
    return m_lastSaid ? *m_lastSaid + kMinInterval : Clock::time_point::min();
}
