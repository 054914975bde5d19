// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#pragma once

// Watches a real window: gives every label write to the innermost run and checks each run as
// it ends with its beep: a valid proposal for its own game and a final message. Nothing may
// be written once the window is closed.

#include "core/cheer.h"
#include "window/kiparano.h"

#include <QStringList>

#include <set>

class Monitor {
public:
    explicit Monitor(kiparano &w)
    {
        QObject::connect(&w, &kiparano::textWritten, &w, [this, &w](int k, const QString &text) {
            ++writes;
            deepest = std::max(deepest, w.runDepth());
            if (closed)
                failures << QStringLiteral("label %1 written after the close").arg(k);
            else if (k == 8 && w.runDepth() == int(runs.size()) + 1)
                runs.emplace_back(9);
            else if (w.runDepth() != int(runs.size()) || runs.empty())
                failures << QStringLiteral("%1:%2 at depth %3").arg(k).arg(text).arg(w.runDepth());
            if (!closed && !runs.empty())
                runs.back()[k] = text;
        });
        QObject::connect(&w, &kiparano::beeped, &w, [this, &w] {
            if (closed || runs.empty() || w.runDepth() != int(runs.size()))
                return failures.append(QStringLiteral("a beep outside the end of a run"));
            check(runs.back());
            runs.pop_back();
        });
    }

    QStringList failures;
    QStringList completed; // the titles of the runs that ended, in order
    int writes = 0, deepest = 0;
    bool closed = false;

private:
    void check(const QStringList &run) // what the run wrote last, by label number
    {
        static const struct {
            const char16_t *title;
            int boxes, upper, lower;
        } rules[] = {{u"ロト6の予想です", 6, 43, 1},
                     {u"ミニロトの予想です!", 5, 31, 1},
                     {u"Numbers3の予想だよ", 3, 9, 0},
                     {u"Numbers4の予想です", 4, 9, 0}};
        const auto rule = std::find_if(std::begin(rules), std::end(rules),
                                       [&](const auto &r) { return run[8] == r.title; });
        if (rule == std::end(rules))
            return failures.append(u"a run titled "_qs + run[8]);
        completed << run[8];
        std::set<int> numbers;
        for (int k = 1; k <= 6; ++k) {
            const int n = run[k].toInt();
            if (k > rule->boxes
                    ? !run[k].isEmpty()
                    : run[k] != QString::number(n) || n < rule->lower || n > rule->upper)
                failures << run[8] + QStringLiteral(": box %1 shows '%2'").arg(k).arg(run[k]);
            if (k <= rule->boxes)
                numbers.insert(n);
        }
        if (rule->upper == 9 ? numbers.size() < 2 : int(numbers.size()) != rule->boxes)
            failures << run[8] + u": the proposal breaks the rule"_qs;
        if (std::find(finalMessages.begin(), finalMessages.end(), run[7]) == finalMessages.end())
            failures << run[8] + u": ended on "_qs + run[7];
    }

    std::vector<QStringList> runs; // those open, innermost last
};
