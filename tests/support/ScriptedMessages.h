// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes for tests: each one is recorded, and answered from a queue the
// test fills (No for a question, OK otherwise, when the queue is empty).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "presenter/MessageHost.h"

class CScriptedHost : public IMessageHost {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned type;
    };
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
        m_boxes.push_back(Box{text, caption, type});
        if (!m_answers.empty()) {
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return (type & MB_YESNO) == MB_YESNO ? IDNO : IDOK;
    }
    std::vector<Box> m_boxes;
    std::deque<int> m_answers;
};
