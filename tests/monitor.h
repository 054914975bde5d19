// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// Watches a real window: attributes every label write to the innermost run, and checks each
// run as it ends with its beep: a valid proposal for its own game, the final message, and no
// write after its beep. Nothing may be written once the window is closed.

#include "core/cheer.h"
#include "window/kiparano.h"

#include <QStringList>

#include <array>
#include <set>
#include <vector>

struct GameRule {
    QString title;
    int boxes, upper, lower;
    bool distinct;
};

inline const std::vector<GameRule> &gameRules()
{
    static const std::vector<GameRule> rules = {
        {QStringLiteral(u"ロト6の予想です"), 6, 43, 1, true},
        {QStringLiteral(u"ミニロトの予想です!"), 5, 31, 1, true},
        {QStringLiteral(u"Numbers3の予想だよ"), 3, 9, 0, false},
        {QStringLiteral(u"Numbers4の予想です"), 4, 9, 0, false},
    };
    return rules;
}

class Monitor {
public:
    explicit Monitor(kiparano &w)
        : m_w(w)
    {
        QObject::connect(&w, &kiparano::textWritten, &w,
                         [this](int k, const QString &text) { written(k, text); });
        QObject::connect(&w, &kiparano::beeped, &w, [this] { beeped(); });
    }

    void closing() { m_closed = true; }
    int writes() const { return m_writes; }

    QStringList failures;
    int completedRuns = 0;
    int deepest = 0;

private:
    struct Run {
        const GameRule *rule;
        std::array<QString, 8> last; // by label number
    };

    void fail(const QString &why) { failures.append(why); }

    void written(int k, const QString &text)
    {
        ++m_writes;
        if (m_closed)
            return fail(QStringLiteral("label %1 written after the close").arg(k));
        const std::size_t depth = std::size_t(m_w.runDepth());
        deepest = std::max(deepest, int(depth));
        if (depth == m_runs.size() + 1) {
            const auto rule = std::find_if(gameRules().begin(), gameRules().end(),
                                           [&](const GameRule &r) { return r.title == text; });
            if (k != 8 || rule == gameRules().end())
                return fail(QStringLiteral("a run began with %1:%2").arg(k).arg(text));
            m_runs.push_back({&*rule, {}});
        } else if (depth != m_runs.size() || depth == 0) {
            return fail(QStringLiteral("write at depth %1 with %2 runs open")
                            .arg(depth)
                            .arg(m_runs.size()));
        }
        if (k <= 7)
            m_runs.back().last[std::size_t(k)] = text;
    }

    void beeped()
    {
        if (m_closed || m_runs.empty() || std::size_t(m_w.runDepth()) != m_runs.size())
            return fail(QStringLiteral("beep outside the end of a run"));
        const Run run = m_runs.back();
        m_runs.pop_back();
        ++completedRuns;
        const GameRule &rule = *run.rule;
        std::vector<int> numbers;
        for (int k = 1; k <= 6; ++k) {
            const QString &text = run.last[std::size_t(k)];
            if (k > rule.boxes) {
                if (!text.isEmpty())
                    fail(rule.title + QStringLiteral(": box %1 not empty").arg(k));
                continue;
            }
            const int n = text.toInt();
            if (text != QString::number(n) || n < rule.lower || n > rule.upper)
                fail(rule.title + QStringLiteral(": box %1 shows '%2'").arg(k).arg(text));
            numbers.push_back(n);
        }
        const std::size_t different = std::set<int>(numbers.begin(), numbers.end()).size();
        if (rule.distinct ? different != numbers.size() : different < 2)
            fail(rule.title + QStringLiteral(": proposal breaks the rule"));
        if (std::find(finalMessages.begin(), finalMessages.end(), QStringView(run.last[7])) ==
            finalMessages.end())
            fail(rule.title + QStringLiteral(": ended on '%1'").arg(run.last[7]));
    }

    kiparano &m_w;
    std::vector<Run> m_runs;
    int m_writes = 0;
    bool m_closed = false;
};
