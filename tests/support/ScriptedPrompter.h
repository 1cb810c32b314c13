#pragma once

#include <deque>
#include <vector>

#include <QString>

#include "Prompter.h"

// Answers questions from a script, and records what it was shown.
class ScriptedPrompter : public Prompter {
public:
    enum class Kind { YesNo, OkCancel, Inform, Warn, Timed };
    struct Shown { Kind kind; QString text; int seconds = 0; Question question = Question::SaveMap; };

    // Answers used in order; when the script runs out, DefaultAnswer is used.
    std::deque<bool> Answers;
    bool DefaultAnswer = true;
    std::vector<Shown> Log;

    bool Ask(Question question, const QString& text) override
    {
        Log.push_back({KindOf(question).OkCancel ? Kind::OkCancel : Kind::YesNo, text, 0, question});
        if (Answers.empty()) return DefaultAnswer;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void Inform(const QString& text) override { Log.push_back({Kind::Inform, text}); }
    void Warn(const QString& text) override { Log.push_back({Kind::Warn, text}); }
    void InformTimed(const QString& message, int seconds) override { Log.push_back({Kind::Timed, message, seconds}); }

    // Texts shown of one kind, in order.
    std::vector<QString> Texts(Kind kind) const
    {
        std::vector<QString> texts;
        for (const Shown& shown : Log)
            if (shown.kind == kind) texts.push_back(shown.text);
        return texts;
    }
};
