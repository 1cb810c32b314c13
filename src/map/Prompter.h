#pragma once

#include <QString>

// The questions the map code asks. Each has its kind of box and the answer a plain Enter gives;
// whoever answers goes by the value, never by the wording, which may change.
enum class Question {
    UseDefaultDescription,   // no description typed: take the default one?
    ResolutionWarning,       // resolution outside what the image type is known for: go on?
    ZoneCrossing,            // the map crosses a UTM zone edge (OK/Cancel)
    SaveMap,                 // all tiles done: save the map?
    OverwriteMap,            // a map of that name exists: replace it?
    OverwriteWithTilesMissing,  // the same, and the new map lacks tiles
    ClearTileLibrary,        // delete every tile in the library?
    GoOnAfterFailures,       // several tiles failed alike in a row: go on fetching?
};

struct QuestionKind {
    bool OkCancel = false;       // OK/Cancel with an information icon, else Yes/No with a question icon
    bool DefaultAnswer = true;   // Yes (OK) is the default button
};

inline QuestionKind KindOf(Question question)
{
    switch (question) {
    case Question::ZoneCrossing: return {true, true};
    case Question::OverwriteWithTilesMissing: return {false, false};
    default: return {false, true};
    }
}

// Every question or message the map logic shows goes through here. The main window answers
// with real message boxes (caption "Quiltmap"); tests answer by script and record what was asked.
// The texts are made by the map code; implementations show them unchanged.
class Prompter {
public:
    virtual ~Prompter() = default;

    // A question of its kind's box; true for Yes (OK).
    virtual bool Ask(Question question, const QString& text) = 0;
    // OK box with an information icon.
    virtual void Inform(const QString& text) = 0;
    // OK box with a warning icon: something failed and the user should know what and why.
    virtual void Warn(const QString& text) = 0;
    // Information box that counts down in its last line and closes itself after `seconds`
    // (the transfer-error box). Returns when the box has closed.
    virtual void InformTimed(const QString& message, int seconds) = 0;
};
